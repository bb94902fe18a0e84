// The command reference shown on the main form's "Команда" page.
#pragma once

#include <string>

namespace gatecfg {

std::wstring ControllerReferenceText();

}  // namespace gatecfg
