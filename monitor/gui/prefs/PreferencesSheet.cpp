#include "PreferencesSheet.h"

#include "EventsPage.h"
#include "GeneralPage.h"
#include "PrefsResourceIds.h"

INT_PTR RunPreferencesSheet(MonitorSettings& settings, CWnd* parent, HKEY root)
{
    GeneralSettings copy;
    CopySettingsToPages(copy, settings);
    CGeneralPage general(copy);
    CEventsPage events(settings);
    CPropertySheet sheet(IDS_PREFERENCES_CAPTION, parent);
    sheet.AddPage(&general);
    sheet.AddPage(&events);
    INT_PTR result = sheet.DoModal();
    if (result == IDOK) {
        CopySettingsFromPages(settings, copy);
        SaveSettings(settings, root);  // a key that cannot be written keeps the settings in memory
    }
    return result;
}
