#pragma once
#include "IQuelMessageProvider.h"
#include "runtime/IntrusiveList.h"

#include <cstdint>

// The message providers of one front end, in load order: the standard provider
// first, then those listed in the ini file. Built once after COM is up on the
// owner's thread, read by one thread at a time, released before COM goes.
struct ProviderNode {
    ListNode link;
    long lowestCode;   // inclusive range from GetMessageRange
    long highestCode;
    IQuelMessageProvider* provider;  // one reference of the node's own
};

struct ProviderList {
    ListHead nodes;
};

static_assert(sizeof(void*) == 4, "provider nodes are 32-bit words");
static_assert(sizeof(ProviderNode) == 20, "provider node layout");

constexpr char kStdProviderProgId[] = "Quelstd.StdMsgProvider";
constexpr char kProvidersSection[] = "message_providers";

void ProviderListInit(ProviderList* list);
// Releases every provider and frees every node, like ReleaseAllProviders.
void ProviderListDestroy(ProviderList* list);

// The provider that ended the loading: its ProgID and the HRESULT of
// CreateMessageProvider; result S_OK and an empty ProgID when none failed.
struct ProviderLoadFailure {
    char progId[260];
    HRESULT result;
};

// Empties the list, then loads the standard provider and, when `iniFileName`
// is given, the ProgIDs of the keys provider1, provider2, ... of the section
// message_providers until the first empty key or the first provider that
// cannot be loaded (told through `failure` when given). Returns the number of
// providers in the list (0 when the standard one is missing).
uint32_t LoadMessageProviders(ProviderList* list, const char* iniFileName,
                              ProviderLoadFailure* failure = nullptr);

// Creates the provider of `progId`, asks its range and appends it; the
// HRESULT of the first failing step, which adds nothing.
HRESULT CreateMessageProvider(ProviderList* list, const char* progId);

// The result of GetMessage of the first provider whose range holds `code`
// (no other is asked, whatever it answers), or 0x80070002 when no range holds
// it. `*text` must be NULL on entry; the caller frees a returned text.
HRESULT FormatWithProviders(ProviderList* list, long code, const void* data, long size,
                            QUEL_MESSAGE_TYPE* severity, BSTR* text);

void ReleaseAllProviders(ProviderList* list);

// Drops the node's provider reference (ProviderNodeRelease) and frees the node;
// the node must be unlinked already.
void ProviderNodeRelease(ProviderNode* node);
void FreeProviderNode(ProviderNode* node);
