// Owner of a common-controls image list.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "win32/Handles.h"

namespace win32 {

using UniqueImageList = UniqueResource<NullNoneTraits<HIMAGELIST, BOOL, ImageList_Destroy>>;

}  // namespace win32
