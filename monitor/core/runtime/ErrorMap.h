#pragma once
#include "runtime/StatusCodes.h"
#include <cstdint>

// The map from system and WinSock error codes to status codes, built once at
// framework start-up and read without a lock afterwards.
void ErrorMapInit();
void ErrorMapDestroy();

// 0 gives 0; a listed error its status; every other value (negative ones too) kStatusUnsuccessful.
[[nodiscard]] NtStatus MapErrorToStatus(int32_t error);
