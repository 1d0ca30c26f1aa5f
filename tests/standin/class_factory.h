// The class object that COM asks for new automation objects.
#pragma once

#include <windows.h>

// Offers the class to clients (CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE).
HRESULT RegisterClassObject();

// Withdraws the class; harmless when it is not offered.
void RevokeClassObject();
