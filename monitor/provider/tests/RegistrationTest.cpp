// Registration with the system's regsvr32, creation by ProgID and the
// embedded type library.
#include "ServerModule.h"
#include "TestProgram.h"

#include <gtest/gtest.h>

#include <string>

using namespace quelstd_test;

namespace {

const wchar_t kClassKey[] = L"CLSID\\{6168E94C-5C90-4410-B6BB-EE2C9A3C6F1F}";
const wchar_t kTypeLibKey[] = L"TypeLib\\{69C91776-A472-465B-A6F8-CB2AA3FC85F5}";
const wchar_t kInterfaceKey[] = L"Interface\\{5E617C0A-44F6-424E-9C89-5EA02F14E031}";

// Exit code of regsvr32 with the given switches on the built server.
DWORD Regsvr32(const std::wstring& switches) { return quelstd_test::Regsvr32(switches, ServerPath()); }

class ComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

void ExpectNothingRegistered()
{
    EXPECT_FALSE(ClassesKeyExists(L"Quelstd.StdMsgProvider"));
    EXPECT_FALSE(ClassesKeyExists(L"Quelstd.StdMsgProvider.1"));
    EXPECT_FALSE(ClassesKeyExists(kClassKey));
    EXPECT_FALSE(ClassesKeyExists(kTypeLibKey));
    EXPECT_FALSE(ClassesKeyExists(kInterfaceKey));
    EXPECT_TRUE(ClassesKeyExists(L"CLSID"));
}

}  // namespace

class RegistrationTest : public ComTest {};

TEST_F(RegistrationTest, RoundTripWritesTheScriptAndLeavesNothingBehind)
{
    // A stale subkey from an older registration goes with the class key.
    HKEY stale = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (std::wstring(kClassKey) + L"\\LocalServer32").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &stale, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(stale);

    ASSERT_EQ(Regsvr32(L"/s"), 0u);

    const std::wstring clsid = L"{6168E94C-5C90-4410-B6BB-EE2C9A3C6F1F}";
    const std::wstring cls = kClassKey;
    EXPECT_EQ(ClassesString(L"Quelstd.StdMsgProvider.1"), L"QuelStdMsgProvider Class");
    EXPECT_EQ(ClassesString(L"Quelstd.StdMsgProvider.1\\CLSID"), clsid);
    EXPECT_EQ(ClassesString(L"Quelstd.StdMsgProvider"), L"QuelStdMsgProvider Class");
    EXPECT_EQ(ClassesString(L"Quelstd.StdMsgProvider\\CLSID"), clsid);
    EXPECT_EQ(ClassesString(L"Quelstd.StdMsgProvider\\CurVer"), L"Quelstd.StdMsgProvider.1");
    EXPECT_EQ(ClassesString(cls), L"QuelStdMsgProvider Class");
    EXPECT_EQ(ClassesString(cls + L"\\ProgID"), L"Quelstd.StdMsgProvider.1");
    EXPECT_EQ(ClassesString(cls + L"\\VersionIndependentProgID"), L"Quelstd.StdMsgProvider");
    EXPECT_TRUE(ClassesKeyExists(cls + L"\\Programmable"));
    EXPECT_EQ(lstrcmpiW(ClassesString(cls + L"\\InprocServer32").c_str(), ServerPath().c_str()), 0)
        << ClassesString(cls + L"\\InprocServer32").c_str();
    EXPECT_EQ(ClassesString(cls + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ClassesString(cls + L"\\TypeLib"), L"{69C91776-A472-465B-A6F8-CB2AA3FC85F5}");
    EXPECT_FALSE(ClassesKeyExists(cls + L"\\LocalServer32"));

    ITypeLib* registered = nullptr;
    EXPECT_EQ(LoadRegTypeLib(LIBID_QUELSTDLib, 1, 0, 0x409, &registered), S_OK);
    if (registered != nullptr)
        registered->Release();

    // Both ProgIDs create the provider, as the monitors do.
    for (const wchar_t* progId : {QUELSTD_PROGID, QUELSTD_PROGID_VERSIONED}) {
        SCOPED_TRACE(progId);
        CLSID found = {};
        ASSERT_EQ(CLSIDFromProgID(progId, &found), S_OK);
        EXPECT_TRUE(IsEqualCLSID(found, CLSID_QuelStdMsgProvider));
        IQuelMessageProvider* provider = nullptr;
        ASSERT_EQ(
            CoCreateInstance(found, nullptr, CLSCTX_ALL, IID_IQuelMessageProvider, reinterpret_cast<void**>(&provider)),
            S_OK);
        QUEL_MESSAGE_TYPE type = QUEL_MSG_INFO;
        BSTR text = nullptr;
        EXPECT_EQ(provider->GetMessage(2, nullptr, 0, &type, &text), S_OK);
        EXPECT_STREQ(text, L"Device closed");
        SysFreeString(text);
        provider->Release();
    }
    CoFreeUnusedLibraries();

    ASSERT_EQ(Regsvr32(L"/u /s"), 0u);
    ExpectNothingRegistered();

    // Unregistering what is not there succeeds and changes nothing.
    EXPECT_EQ(Regsvr32(L"/u /s"), 0u);
    ExpectNothingRegistered();
}

TEST_F(RegistrationTest, UnregistrationKeepsWhatOthersAddedBelowAProgId)
{
    ASSERT_EQ(Regsvr32(L"/s"), 0u);
    HKEY foreign = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"Quelstd.StdMsgProvider\\Insertable", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &foreign, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(foreign);

    ASSERT_EQ(Regsvr32(L"/u /s"), 0u);
    EXPECT_TRUE(ClassesKeyExists(L"Quelstd.StdMsgProvider\\Insertable"));
    EXPECT_FALSE(ClassesKeyExists(L"Quelstd.StdMsgProvider\\CLSID"));
    EXPECT_FALSE(ClassesKeyExists(L"Quelstd.StdMsgProvider\\CurVer"));
    EXPECT_FALSE(ClassesKeyExists(kClassKey));

    RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Quelstd.StdMsgProvider\\Insertable");
    RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Quelstd.StdMsgProvider");
    ExpectNothingRegistered();
}

class TypeLibraryTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        ASSERT_EQ(LoadTypeLibEx(ServerPath().c_str(), REGKIND_NONE, typeLib_.put()), S_OK);
    }
    void TearDown() override
    {
        typeLib_.reset();
        ComTest::TearDown();
    }
    ITypeInfo* InfoOf(REFGUID guid)
    {
        ITypeInfo* info = nullptr;
        EXPECT_EQ(typeLib_->GetTypeInfoOfGuid(guid, &info), S_OK);
        return info;
    }

    win32::ComPtr<ITypeLib> typeLib_;
};

TEST_F(TypeLibraryTest, LibraryAttributesAndHelpString)
{
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(typeLib_->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_QUELSTDLib));
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0x409u);
    typeLib_->ReleaseTLibAttr(attr);

    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(typeLib_->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"QUELSTDLib");
    EXPECT_STREQ(doc, L"quelstd 1.0 Type Library");
    SysFreeString(name);
    SysFreeString(doc);
}

TEST_F(TypeLibraryTest, InterfaceIsACustomVtableInterfaceDerivedFromIUnknown)
{
    ITypeInfo* info = InfoOf(IID_IQuelMessageProvider);
    ASSERT_NE(info, nullptr);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE), 0);
    EXPECT_EQ(attr->cImplTypes, 1);
    EXPECT_EQ(attr->cFuncs, 2);
    info->ReleaseTypeAttr(attr);

    HREFTYPE baseRef = 0;
    ITypeInfo* base = nullptr;
    ASSERT_EQ(info->GetRefTypeOfImplType(0, &baseRef), S_OK);
    ASSERT_EQ(info->GetRefTypeInfo(baseRef, &base), S_OK);
    TYPEATTR* baseAttr = nullptr;
    ASSERT_EQ(base->GetTypeAttr(&baseAttr), S_OK);
    EXPECT_TRUE(IsEqualGUID(baseAttr->guid, IID_IUnknown));
    base->ReleaseTypeAttr(baseAttr);
    base->Release();

    // Slots 3 and 4 after the three of IUnknown.
    const struct {
        const wchar_t* name;
        short params;
        short vtableOffset;
    } expected[] = {{L"GetMessageRange", 2, 3 * 4}, {L"GetMessage", 5, 4 * 4}};
    for (UINT i = 0; i < 2; ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &func), S_OK);
        BSTR name = nullptr;
        info->GetDocumentation(func->memid, &name, nullptr, nullptr, nullptr);
        EXPECT_STREQ(name, expected[i].name);
        SysFreeString(name);
        EXPECT_EQ(func->funckind, FUNC_PUREVIRTUAL);
        EXPECT_EQ(func->cParams, expected[i].params);
        EXPECT_EQ(func->oVft, expected[i].vtableOffset);
        EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT);
        if (i == 1) {
            const ELEMDESC& text = func->lprgelemdescParam[4];
            EXPECT_EQ(text.tdesc.vt, VT_PTR);
            ASSERT_NE(text.tdesc.lptdesc, nullptr);
            EXPECT_EQ(text.tdesc.lptdesc->vt, VT_BSTR);
            EXPECT_TRUE(text.paramdesc.wParamFlags & PARAMFLAG_FOUT);
            const ELEMDESC& type = func->lprgelemdescParam[3];
            EXPECT_EQ(type.tdesc.vt, VT_PTR);
            EXPECT_TRUE(type.paramdesc.wParamFlags & PARAMFLAG_FOUT);
            EXPECT_EQ(func->lprgelemdescParam[0].tdesc.vt, VT_I4);
            EXPECT_EQ(func->lprgelemdescParam[1].tdesc.vt, VT_PTR);
            EXPECT_EQ(func->lprgelemdescParam[2].tdesc.vt, VT_I4);
        }
        info->ReleaseFuncDesc(func);
    }
    info->Release();
}

TEST_F(TypeLibraryTest, CoclassAndSeverityEnum)
{
    ITypeInfo* coclass = InfoOf(CLSID_QuelStdMsgProvider);
    ASSERT_NE(coclass, nullptr);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    coclass->ReleaseTypeAttr(attr);
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
    BSTR doc = nullptr;
    coclass->GetDocumentation(MEMBERID_NIL, nullptr, &doc, nullptr, nullptr);
    EXPECT_STREQ(doc, L"QuelStdMsgProvider Class");
    SysFreeString(doc);
    coclass->Release();

    for (UINT i = 0; i < typeLib_->GetTypeInfoCount(); ++i) {
        TYPEKIND kind;
        if (typeLib_->GetTypeInfoType(i, &kind) != S_OK || kind != TKIND_ENUM)
            continue;
        ITypeInfo* info = nullptr;
        ASSERT_EQ(typeLib_->GetTypeInfo(i, &info), S_OK);
        BSTR name = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        EXPECT_STREQ(name, L"QUEL_MESSAGE_TYPE");
        SysFreeString(name);
        const wchar_t* names[] = {L"QUEL_MSG_INFO", L"QUEL_MSG_WARNING", L"QUEL_MSG_ERROR"};
        for (UINT v = 0; v < 3; ++v) {
            VARDESC* var = nullptr;
            ASSERT_EQ(info->GetVarDesc(v, &var), S_OK);
            BSTR varName = nullptr;
            info->GetDocumentation(var->memid, &varName, nullptr, nullptr, nullptr);
            EXPECT_STREQ(varName, names[v]);
            EXPECT_EQ(V_I4(var->lpvarValue), static_cast<LONG>(v));
            SysFreeString(varName);
            info->ReleaseVarDesc(var);
        }
        info->Release();
        return;
    }
    ADD_FAILURE() << "no enum in the type library";
}
