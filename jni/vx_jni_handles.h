/*
 * vx_jni_handles.h - the process-wide table of the Java side's context handles
 * (vx_jni_handles.cpp). A handle is a table slot plus a serial, so that a stale handle never
 * names a newer context; a context stays alive while a native call on it is in flight, and
 * deleteContext takes the handle out of the table at once and waits until the calls already
 * using it have returned.
 */
#ifndef VX_JNI_HANDLES_H
#define VX_JNI_HANDLES_H

#include <jni.h>

#include "velto.h"

namespace vxjni {

/* Enters a new context into the table; 0 when every slot is taken. */
jint RegisterContext(VexaContext *context);
/* Takes a context out of the table and returns it once no call uses it any more; null for a
 * handle the table does not know. */
VexaContext *UnregisterContext(jint handle);

/* Holds the context a handle names for the duration of one native call. */
class ContextRef {
  public:
    explicit ContextRef(jint handle);
    ~ContextRef();
    ContextRef(const ContextRef &) = delete;
    ContextRef &operator=(const ContextRef &) = delete;
    /* The context, or null for a handle the table does not know. */
    VexaContext *get() const { return context_; }

  private:
    void *entry_ = nullptr;
    VexaContext *context_ = nullptr;
};

/* Runs call(context) on the context a handle names; -63 for an unknown handle. */
template <typename Call> jint OnContext(jint handle, Call &&call) {
    ContextRef ref(handle);
    VexaContext *context = ref.get();
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    return call(context);
}

/* The same for calls that return a double; `invalid` is what an unknown handle gives. */
template <typename Call> jdouble OnContextDouble(jint handle, double invalid, Call &&call) {
    ContextRef ref(handle);
    VexaContext *context = ref.get();
    if (context == nullptr) return invalid;
    return call(context);
}

} // namespace vxjni

#endif /* VX_JNI_HANDLES_H */
