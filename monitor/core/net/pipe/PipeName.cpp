#include "net/pipe/PipeName.h"
#include "net/AddressRecordReader.h"
#include "containers/AnsiText.h"
#include <windows.h>
#include <cstring>

bool PipeNameFromRecord(const PipeRecordView& view, Str* name)
{
    StrClear(*name);
    if (view.nameUnits == 0)
        return true;
    if (!view.wide)
        return StrAssign(*name, static_cast<const char*>(view.name), int(view.nameUnits)) == view.nameUnits;
    // The units may sit at any offset of a record read from the wire. The
    // system's code page, not the C library's locale, is what CreateFileA reads.
    WStr wide;
    wchar_t* units = WStrGetBuffer(wide, view.nameUnits, false);
    if (!units)
        return false;
    std::memcpy(units, view.name, 2 * view.nameUnits);
    const int count = int(view.nameUnits);
    const int bytes = AnsiFromWide(units, count, nullptr, 0);
    if (bytes <= 0)
        return true;  // it does not convert: an empty name, which no pipe has
    char* out = StrGetBuffer(*name, uint32_t(bytes), false);
    if (!out)
        return false;
    AnsiFromWide(units, count, out, bytes);
    return true;
}
