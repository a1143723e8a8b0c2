#pragma once

#include <objbase.h>

#include <atomic>

namespace oq::win32 {

// Objects of this module alive now (every ComObject), for DllCanUnloadNow.
inline std::atomic<long> g_liveComObjects{0};

// The counted part of every COM object we implement: one reference count and one QueryInterface
// over the interfaces the object lists. A class derives from ComObject<I1, I2, ...> and answers
// Find() with the pointer for each interface id it serves; IUnknown is answered from the first.
template <typename First, typename... Others>
class ComObject : public First, public Others... {
 public:
  ComObject() { ++g_liveComObjects; }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  virtual ~ComObject() { --g_liveComObjects; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = IsEqualIID(iid, IID_IUnknown) ? static_cast<First*>(this) : Find(iid);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  // The interface pointer for `iid` (other than IUnknown), or null when not served.
  virtual void* Find(REFIID iid) = 0;

 private:
  std::atomic<ULONG> references_{1};
};

// Holds one counted reference to a COM interface and gives it back when it ends.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  // Takes over a reference the caller already owns.
  static ComRef Adopt(T* pointer) {
    ComRef ref;
    ref.pointer_ = pointer;
    return ref;
  }
  // Adds a reference of its own.
  static ComRef Share(T* pointer) {
    if (pointer != nullptr) pointer->AddRef();
    return Adopt(pointer);
  }
  ComRef(const ComRef& other) : pointer_(other.pointer_) {
    if (pointer_ != nullptr) pointer_->AddRef();
  }
  ComRef(ComRef&& other) noexcept : pointer_(other.pointer_) { other.pointer_ = nullptr; }
  ComRef& operator=(ComRef other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComRef() {
    if (pointer_ != nullptr) pointer_->Release();
  }

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For calls that return a new reference through T**; releases what was held.
  T** Receive() {
    *this = ComRef();
    return &pointer_;
  }

 private:
  T* pointer_ = nullptr;
};

}  // namespace oq::win32
