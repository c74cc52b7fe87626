// Component: the registration state and the late-bound objects of Dovrel,
// behind the C entry points of reportlib/QuorvaneReport.h.
//
// The library's project name is its own file name without folder and
// extension, so a copy under another name (dovrelX.so) answers to its own
// ProgIDs ("dovrelX.clsInit"). Objects can be created only while the library
// is registered. C++ exceptions never cross the C boundary.
#pragma once

#include <string>
#include <vector>

#include "reportlib/QuorvaneReport.h"

namespace dovrel {

// The class names the library can create, in catalog order.
std::vector<std::string> creatableClasses();

// The implementations of the four entry points (exported with C linkage by
// Exports.cpp; tests may call them directly).
QvResult registerServer();
QvResult unregisterServer();
QvResult getClassObject(const char* progId, const QvHost* host, QvDispatch** object);
QvResult canUnloadNow();
bool isRegistered();

}  // namespace dovrel
