// The four entry points of the library, with C linkage and default visibility
// (everything else in Dovrel is hidden).
#include "reportlib/Component.h"

#define DOVREL_EXPORT extern "C" __attribute__((visibility("default")))

DOVREL_EXPORT QvResult DllRegisterServer(void) { return dovrel::registerServer(); }
DOVREL_EXPORT QvResult DllUnregisterServer(void) { return dovrel::unregisterServer(); }
DOVREL_EXPORT QvResult DllGetClassObject(const char* progId, const QvHost* host,
                                         QvDispatch** object) {
  return dovrel::getClassObject(progId, host, object);
}
DOVREL_EXPORT QvResult DllCanUnloadNow(void) { return dovrel::canUnloadNow(); }
