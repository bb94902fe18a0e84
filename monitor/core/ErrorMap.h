#pragma once

// The map from system and WinSock error codes to status codes, built once at
// framework start-up and read without a lock afterwards.
void ErrorMapInit();
void ErrorMapDestroy();
