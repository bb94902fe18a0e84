#include "SmallIcon.h"

#include "Wnd.h"

HICON LoadSmallIcon(UINT id)
{
    return static_cast<HICON>(LoadImageA(ResourceHandle(), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
}
