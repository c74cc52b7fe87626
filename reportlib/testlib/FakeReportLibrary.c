/* A small report library written against reportlib/QuorvaneReport.h alone,
 * as a third party would: the server's tests use it to tell libraries apart
 * and to drive the runner's failure paths. Never installed beside the server.
 *
 * Catalog: "XML Data Export::clsFake::{Output to XML,.xml;Output to Text,.txt}"
 *          "Fake Report::clsFake::{Plain,.txt}"
 * Init fails when a path ends in "fail-init"; doReport writes one line
 * "fake <format> <number of paths>" and answers nothing (EMPTY), or fails
 * (answers false) when the output path ends in "fail-report".
 * Built with FAKE_NO_REGISTER it lacks DllRegisterServer. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "reportlib/QuorvaneReport.h"

#define EXPORT __attribute__((visibility("default")))

static int registered = 0;
static int live = 0;

static const char* const kCatalog[] = {
    "XML Data Export::clsFake::{Output to XML,.xml;Output to Text,.txt}",
    "Fake Report::clsFake::{Plain,.txt}",
};
static QvText catalogTexts[2];

typedef struct Fake {
  QvDispatch base;
  uint32_t refs;
  int isInit;
  size_t paths;
} Fake;

static int endsWith(const char* s, size_t n, const char* suffix) {
  size_t m = strlen(suffix);
  return n >= m && memcmp(s + n - m, suffix, m) == 0;
}

static uint32_t fakeAddRef(QvDispatch* self) { return ++((Fake*)self)->refs; }

static uint32_t fakeRelease(QvDispatch* self) {
  Fake* f = (Fake*)self;
  uint32_t left = --f->refs;
  if (left == 0) {
    free(f);
    --live;
  }
  return left;
}

static QvResult fakeInvoke(QvDispatch* self, const char* name, const QvValue* args, int32_t argCount,
                           QvValue* result) {
  Fake* f = (Fake*)self;
  memset(result, 0, sizeof *result);
  if (strcmp(name, "strGetNames") == 0) {
    for (int i = 0; i < 2; ++i) {
      catalogTexts[i].data = kCatalog[i];
      catalogTexts[i].size = strlen(kCatalog[i]);
    }
    result->type = QV_TYPE_TEXT_ARRAY;
    result->items = catalogTexts;
    result->count = 2;
    return QV_OK;
  }
  if (strcmp(name, "strGetAuthor") == 0) {
    result->type = QV_TYPE_TEXT;
    result->text.data = "Fake Author";
    result->text.size = 11;
    return QV_OK;
  }
  if (strcmp(name, "Init") == 0) {
    if (argCount != 1 || args[0].type != QV_TYPE_TEXT_ARRAY) return QV_E_TYPEMISMATCH;
    result->type = QV_TYPE_BOOL;
    for (size_t i = 0; i < args[0].count; ++i) {
      if (endsWith(args[0].items[i].data, args[0].items[i].size, "fail-init")) return QV_OK;
    }
    f->isInit = 1;
    f->paths = args[0].count;
    result->boolean = 1;
    return QV_OK;
  }
  if (strcmp(name, "doReport") == 0) {
    if (argCount != 2 || args[0].type != QV_TYPE_INT32 || args[1].type != QV_TYPE_TEXT) {
      return QV_E_TYPEMISMATCH;
    }
    if (!f->isInit) return QV_E_FAIL;
    if (endsWith(args[1].text.data, args[1].text.size, "fail-report")) {
      result->type = QV_TYPE_BOOL;
      return QV_OK;
    }
    char path[4096];
    size_t n = args[1].text.size < sizeof path - 1 ? args[1].text.size : sizeof path - 1;
    memcpy(path, args[1].text.data, n);
    path[n] = '\0';
    FILE* out = fopen(path, "wb");
    if (out == NULL) return QV_E_FAIL;
    fprintf(out, "fake %d %zu\n", (int)args[0].int32, f->paths);
    fclose(out);
    return QV_OK; /* EMPTY: the runner looks for the file */
  }
  return QV_E_UNKNOWNNAME;
}

static const QvDispatchVtbl kVtbl = {fakeAddRef, fakeRelease, fakeInvoke};

#ifndef FAKE_NO_REGISTER
EXPORT QvResult DllRegisterServer(void) {
  registered = 1;
  return QV_OK;
}
#endif

EXPORT QvResult DllUnregisterServer(void) {
  registered = 0;
  return QV_OK;
}

EXPORT QvResult DllGetClassObject(const char* progId, const QvHost* host, QvDispatch** object) {
  (void)host;
  if (object == NULL || progId == NULL) return QV_E_POINTER;
  *object = NULL;
  const char* dot = strchr(progId, '.');
  if (!registered || dot == NULL) return QV_E_CLASSNOTREG;
  if (strcmp(dot + 1, "clsInit") != 0 && strcmp(dot + 1, "clsFake") != 0) return QV_E_CLASSNOTREG;
  Fake* f = (Fake*)calloc(1, sizeof(Fake));
  if (f == NULL) return QV_E_FAIL;
  f->base.vtbl = &kVtbl;
  f->refs = 1;
  ++live;
  *object = &f->base;
  return QV_OK;
}

EXPORT QvResult DllCanUnloadNow(void) { return live == 0 ? QV_OK : QV_S_FALSE; }
