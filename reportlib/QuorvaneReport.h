/* QuorvaneReport.h: the contract between QuorvaneServer and a report library.
 *
 * A report library is a shared library (Dovrel.so here, Dovrel.dll on
 * Windows) lying beside the server. Its base file name is its project name:
 * every creatable class is reached through the ProgID project + "." + class
 * ("Dovrel.clsInit"). The server finds libraries by file name: the platform's
 * library suffix, more than six characters, the first six letters "dovrel" in
 * any case. See reportlib/ReportLibraryGuide.md for a walk-through.
 *
 * Plain C so that any compiler can build a library against it. All texts are
 * 8-bit (Windows-1252) byte strings with an explicit length; nothing here is
 * NUL-terminated except ProgIDs and method names.
 *
 * Ownership: arguments belong to the caller for the duration of one call.
 * A result of Invoke belongs to the object and stays valid until the next
 * Invoke on the same object or its last Release; the caller copies it.
 * Every call comes from one thread, one at a time.
 */
#ifndef QUORVANE_REPORT_H
#define QUORVANE_REPORT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes (the component platform's values, so that logs read alike). */
typedef int32_t QvResult;
#define QV_OK ((QvResult)0)
#define QV_S_FALSE ((QvResult)1)
#define QV_E_FAIL ((QvResult)0x80004005)
#define QV_E_POINTER ((QvResult)0x80004003)
#define QV_E_CLASSNOTREG ((QvResult)0x80040154)   /* ProgID unknown or not registered */
#define QV_E_UNKNOWNNAME ((QvResult)0x80020006)   /* no method of that name */
#define QV_E_TYPEMISMATCH ((QvResult)0x80020005)  /* an argument of the wrong type */
#define QV_E_BADPARAMCOUNT ((QvResult)0x8002000E) /* wrong number of arguments */

/* Value types of arguments and results. */
#define QV_TYPE_EMPTY 0      /* no value (a procedure's result) */
#define QV_TYPE_BOOL 1       /* boolean: 0 false, any other value true */
#define QV_TYPE_INT32 2      /* int32 */
#define QV_TYPE_TEXT 3       /* text */
#define QV_TYPE_TEXT_ARRAY 4 /* items[0 .. count-1] */

typedef struct QvText {
  const char* data;
  size_t size;
} QvText;

typedef struct QvValue {
  int32_t type;
  int32_t boolean;
  int32_t int32;
  QvText text;
  const QvText* items;
  size_t count;
} QvValue;

/* What the host tells an object when it creates it. May be NULL: the library
 * then decides by itself (a window only inside a graphical application). */
#define QV_HOST_INTERACTIVE 1u /* windows may be shown, a finished report opened */
#define QV_HOST_QUIET 2u       /* no progress output on standard error */

#define QV_ICON_CRITICAL 16
#define QV_ICON_EXCLAMATION 48
#define QV_ICON_INFORMATION 64

typedef struct QvHost {
  uint32_t size;  /* sizeof(QvHost) */
  uint32_t flags; /* QV_HOST_* */
  void* context;  /* passed back to showMessage */
  /* Shows (or records) a message box text of the library; may be NULL, the
   * library then shows it itself (message box or standard error). */
  void (*showMessage)(void* context, int32_t icon, const char* text, size_t size);
} QvHost;

/* An object reached by name: the late-bound interface of every class. */
typedef struct QvDispatch QvDispatch;
typedef struct QvDispatchVtbl {
  uint32_t (*AddRef)(QvDispatch* self);
  uint32_t (*Release)(QvDispatch* self);
  /* Calls the method `name` (case-insensitive) with argCount arguments.
   * `result` receives its value (QV_TYPE_EMPTY for a procedure). */
  QvResult (*Invoke)(QvDispatch* self, const char* name, const QvValue* args, int32_t argCount,
                     QvValue* result);
} QvDispatchVtbl;
struct QvDispatch {
  const QvDispatchVtbl* vtbl;
};

/* Entry points every report library exports with C linkage.
 *
 * DllRegisterServer: makes the library's classes creatable by ProgID.
 * DllUnregisterServer: withdraws them again. Both are idempotent.
 * DllGetClassObject: creates a new object of the class `progId`, reference
 *   count 1; QV_E_CLASSNOTREG unless the library is registered and knows the
 *   class. `host` may be NULL and is copied.
 * DllCanUnloadNow: QV_OK when no object of the library is alive, QV_S_FALSE
 *   otherwise. */
typedef QvResult (*QvDllRegisterServerFn)(void);
typedef QvResult (*QvDllUnregisterServerFn)(void);
typedef QvResult (*QvDllGetClassObjectFn)(const char* progId, const QvHost* host,
                                          QvDispatch** object);
typedef QvResult (*QvDllCanUnloadNowFn)(void);

/* Methods every report library offers.
 *
 * Class clsInit:
 *   strGetNames()  -> TEXT_ARRAY  catalog entries
 *                     "report name::class name::{caption,.ext;caption,.ext}"
 *   strGetAuthor() -> TEXT        the author shown beside every report
 * Every report class:
 *   Init(TEXT_ARRAY paths)        -> BOOL  loads one audit from every non-empty path
 *   isInit()                      -> BOOL  whether Init has completed
 *   doReport(INT32 format, TEXT path) -> BOOL (or EMPTY)
 *                     writes the report; true when it was written completely.
 *                     A library that answers EMPTY is taken at its word when
 *                     the output file exists afterwards. */

#ifdef __cplusplus
}
#endif

#endif /* QUORVANE_REPORT_H */
