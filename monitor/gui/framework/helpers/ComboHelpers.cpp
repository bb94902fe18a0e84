#include "ComboHelpers.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string ItemText(HWND combo, int index)
{
    LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, WPARAM(index), 0);
    if (length == CB_ERR)
        return {};
    std::string text(std::size_t(length) + 1, '\0');
    LRESULT copied = SendMessageA(combo, CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == CB_ERR ? 0 : std::size_t(copied));
    return text;
}

std::string ComboExItemText(HWND comboEx, int index)
{
    char buffer[1024] = {};
    COMBOBOXEXITEMA item{};
    item.mask = CBEIF_TEXT;
    item.iItem = index;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(comboEx, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

std::string WindowText(HWND window)
{
    int length = GetWindowTextLengthA(window);
    std::string text(std::size_t(length) + 1, '\0');
    int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(std::size_t(copied > 0 ? copied : 0));
    return text;
}

// The history logic over the two kinds of combo box.
template <class ItemTextOf, class DeleteAt, class InsertFirst>
BOOL AddRecent(HWND combo, const char* text, UINT countMessage, ItemTextOf itemText,
               DeleteAt deleteAt, InsertFirst insertFirst)
{
    if (!text)
        return FALSE;
    int count = int(SendMessageA(combo, countMessage, 0, 0));
    for (int i = 0; i < count; ++i)
        if (itemText(combo, i) == text) {
            if (i == 0)
                return TRUE;
            deleteAt(combo, i);
            break;
        }
    return insertFirst(combo, text);
}

}  // namespace

BOOL ComboAddRecent(HWND combo, const char* text)
{
    return AddRecent(
        combo, text, CB_GETCOUNT, ItemText,
        [](HWND c, int i) { SendMessageA(c, CB_DELETESTRING, WPARAM(i), 0); },
        [](HWND c, const char* t) {
            LRESULT at = SendMessageA(c, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(t));
            if (at == CB_ERR || at == CB_ERRSPACE)
                return FALSE;
            SetWindowTextA(c, t);
            return TRUE;
        });
}

BOOL ComboExAddRecent(HWND comboEx, const char* text)
{
    return AddRecent(
        comboEx, text, CB_GETCOUNT, ComboExItemText,
        [](HWND c, int i) { SendMessageA(c, CBEM_DELETEITEM, WPARAM(i), 0); },
        [](HWND c, const char* t) {
            COMBOBOXEXITEMA item{};
            item.mask = CBEIF_TEXT;
            item.iItem = 0;
            item.pszText = const_cast<char*>(t);
            if (SendMessageA(c, CBEM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) == -1)
                return FALSE;
            HWND edit = reinterpret_cast<HWND>(SendMessageA(c, CBEM_GETEDITCONTROL, 0, 0));
            SetWindowTextA(edit ? edit : c, t);
            return TRUE;
        });
}

int ComboFillItems(HWND combo, const ComboTableItem* table)
{
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const ComboTableItem* item = table; item && item->text; ++item) {
        LRESULT index = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item->text));
        if (index >= 0)
            SendMessageA(combo, CB_SETITEMDATA, WPARAM(index), LPARAM(item->data));
    }
    return 0;
}

int ComboFillMultiString(HWND combo, const char* multiString)
{
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    if (!multiString)
        return 0;
    SetWindowTextA(combo, multiString);
    int added = 0;
    for (const char* s = multiString + std::strlen(multiString) + 1; *s; s += std::strlen(s) + 1) {
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        ++added;
    }
    return 1 + added;
}

int ComboLoadFromRegistry(HWND combo, HKEY key, const char* valueName)
{
    // The value may change between the size query and the read: retry a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        LONG status = RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
            return 0;
        if (type != REG_MULTI_SZ && type != REG_SZ)
            return 0;
        // Two NULs past the value's bytes end its last string and the list.
        std::vector<char> buffer(std::size_t(size) + 2, '\0');
        DWORD read = size;
        status = RegQueryValueExA(key, valueName, nullptr, &type,
                                  reinterpret_cast<BYTE*>(buffer.data()), &read);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS || (type != REG_MULTI_SZ && type != REG_SZ))
            return 0;
        std::fill(buffer.begin() + std::min<std::size_t>(read, size), buffer.end(), '\0');
        return ComboFillMultiString(combo, buffer.data());
    }
    return 0;
}

int ComboSaveToRegistry(HWND combo, HKEY key, const char* valueName, int most)
{
    std::string data = WindowText(combo);
    data.push_back('\0');
    int count = int(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    int saved = 0;
    for (int i = 0; i < count && saved < most; ++i, ++saved) {
        data += ItemText(combo, i);
        data.push_back('\0');
    }
    data.push_back('\0');
    if (RegSetValueExA(key, valueName, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                       DWORD(data.size())) != ERROR_SUCCESS)
        return 0;
    return saved;
}

int ComboSelectString(HWND combo, const char* text)
{
    LRESULT index = SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(text));
    if (index == CB_ERR)
        return -1;
    SendMessageA(combo, CB_SETCURSEL, WPARAM(index), 0);
    return int(index);
}

int ComboSelectData(HWND combo, DWORD_PTR data)
{
    int count = int(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (DWORD_PTR(SendMessageA(combo, CB_GETITEMDATA, WPARAM(i), 0)) == data) {
            SendMessageA(combo, CB_SETCURSEL, WPARAM(i), 0);
            return i;
        }
    return -1;
}

namespace {

template <class F>
int ById(HWND dialog, int id, F f)
{
    HWND combo = GetDlgItem(dialog, id);
    return combo ? f(combo) : -1;
}

}  // namespace

int ComboFillItems(HWND dialog, int id, const ComboTableItem* table)
{
    return ById(dialog, id, [&](HWND c) { return ComboFillItems(c, table); });
}

int ComboFillMultiString(HWND dialog, int id, const char* multiString)
{
    return ById(dialog, id, [&](HWND c) { return ComboFillMultiString(c, multiString); });
}

int ComboLoadFromRegistry(HWND dialog, int id, HKEY key, const char* valueName)
{
    return ById(dialog, id, [&](HWND c) { return ComboLoadFromRegistry(c, key, valueName); });
}

int ComboSaveToRegistry(HWND dialog, int id, HKEY key, const char* valueName, int most)
{
    return ById(dialog, id, [&](HWND c) { return ComboSaveToRegistry(c, key, valueName, most); });
}

int ComboSelectString(HWND dialog, int id, const char* text)
{
    return ById(dialog, id, [&](HWND c) { return ComboSelectString(c, text); });
}

int ComboSelectData(HWND dialog, int id, DWORD_PTR data)
{
    return ById(dialog, id, [&](HWND c) { return ComboSelectData(c, data); });
}
