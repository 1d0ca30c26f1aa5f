// /RegServer and /UnregServer: the class and its ProgID in HKEY_CLASSES_ROOT.
#pragma once

// Each returns true when the registry is as asked afterwards.
bool RegisterServer();
bool UnregisterServer();
