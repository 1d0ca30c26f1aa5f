#include "class_factory.h"

#include <unknwn.h>

#include "application.h"
#include "identity.h"

namespace {

DWORD registration = 0;

// One static instance for the life of the server, so reference counts do not own it.
class StandInClassFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return CreateApplication(iid, object);
    }

    // The server's life follows its windows, as Access's does, not locks.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

StandInClassFactory classFactory;

}  // namespace

HRESULT RegisterClassObject() {
    return CoRegisterClassObject(kStandInClsid, &classFactory, CLSCTX_LOCAL_SERVER,
                                 REGCLS_MULTIPLEUSE, &registration);
}

void RevokeClassObject() {
    if (registration != 0)
        CoRevokeClassObject(registration);
    registration = 0;
}
