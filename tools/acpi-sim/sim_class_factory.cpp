#include "tools/acpi-sim/sim_class_factory.h"

#include <new>

#include "tools/acpi-sim/acpi_sim_object.h"
#include "tools/acpi-sim/server_lifetime.h"

HRESULT SimClassFactory::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG SimClassFactory::AddRef() { return ++refs_; }

ULONG SimClassFactory::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT SimClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  AcpiSimObject* created = nullptr;
  try {
    created = new AcpiSimObject(lifetime_, folder_);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  HRESULT hr = created->QueryInterface(riid, object);
  created->Release();
  return hr;
}

HRESULT SimClassFactory::LockServer(BOOL lock) {
  if (lock) {
    lifetime_->Lock();
  } else {
    lifetime_->Unlock();
  }
  return S_OK;
}
