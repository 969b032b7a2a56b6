#pragma once

#include <windows.h>
#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>

#include <utility>
#include <vector>

namespace mto::com {

// Owners of COM resources: an interface reference, a BSTR, a VARIANT, an EXCEPINFO's strings and a
// thread's COM initialisation.

/// Owns one reference to a COM interface. `adopt` takes a reference the caller already owns,
/// `share` adds one; `put` hands out the slot for an out-parameter.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { reset(); }
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  static ComPtr adopt(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  static ComPtr share(T* p) {
    if (p) p->AddRef();
    return adopt(p);
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  /// Releases what it holds and returns the slot for an out-parameter.
  T** put() {
    reset();
    return &p_;
  }
  /// Gives the reference away (to an out-parameter the caller will own).
  T* detach() { return std::exchange(p_, nullptr); }
  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }

  /// QueryInterface; null when the object lacks the interface.
  template <typename U>
  ComPtr<U> as(REFIID iid) const {
    ComPtr<U> out;
    if (p_) p_->QueryInterface(iid, reinterpret_cast<void**>(out.put()));
    return out;
  }

 private:
  T* p_ = nullptr;
};

/// Owns a BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const wchar_t* text) : s_(text ? SysAllocString(text) : nullptr) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    std::swap(s_, other.s_);
    return *this;
  }
  ~Bstr() { SysFreeString(s_); }

  static Bstr adopt(BSTR s) {
    Bstr b;
    b.s_ = s;
    return b;
  }
  BSTR get() const { return s_; }
  BSTR* put() {
    SysFreeString(std::exchange(s_, nullptr));
    return &s_;
  }
  BSTR detach() { return std::exchange(s_, nullptr); }
  UINT length() const { return SysStringLen(s_); }

 private:
  BSTR s_ = nullptr;
};

/// Owns a VARIANT: initialised Empty, cleared on destruction (which releases a BSTR, an interface
/// or an array it holds). Moving hands the content over and leaves the source Empty.
class OwnedVariant {
 public:
  OwnedVariant() noexcept { VariantInit(&v_); }
  OwnedVariant(const OwnedVariant&) = delete;
  OwnedVariant& operator=(const OwnedVariant&) = delete;
  OwnedVariant(OwnedVariant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  /// Clears what this one held first.
  OwnedVariant& operator=(OwnedVariant&& other) noexcept {
    if (this != &other) {
      VariantClear(&v_);
      v_ = other.v_;
      VariantInit(&other.v_);
    }
    return *this;
  }
  ~OwnedVariant() { VariantClear(&v_); }

  /// Takes over a VARIANT the caller owned; `from` is left Empty.
  static OwnedVariant adopt(VARIANT* from) noexcept {
    OwnedVariant owned;
    owned.v_ = *from;
    VariantInit(from);
    return owned;
  }

  /// The VARIANT itself, still owned here.
  VARIANT* get() noexcept { return &v_; }
  /// The VARIANT itself, still owned here.
  const VARIANT* get() const noexcept { return &v_; }
  /// The VARIANT's fields.
  VARIANT* operator->() noexcept { return &v_; }
  /// The VARIANT's fields.
  const VARIANT* operator->() const noexcept { return &v_; }
  /// Clears and returns the VARIANT for an out-parameter.
  VARIANT* put() noexcept {
    VariantClear(&v_);
    return &v_;
  }
  /// Moves the content out to a VARIANT the caller owns; this one is left Empty.
  void detachTo(VARIANT* out) noexcept {
    *out = v_;
    VariantInit(&v_);
  }

 private:
  VARIANT v_;
};

/// Owns a contiguous run of VARIANTs, as DISPPARAMS takes arguments: each initialised Empty, all
/// cleared on destruction (a by-reference VARIANT owns nothing, so clearing it frees nothing).
/// Moving hands them all over and leaves the source with none.
class OwnedVariantArray {
 public:
  /// `count` Empty VARIANTs.
  explicit OwnedVariantArray(size_t count) : v_(count) {
    for (VARIANT& v : v_) VariantInit(&v);
  }
  OwnedVariantArray(const OwnedVariantArray&) = delete;
  OwnedVariantArray& operator=(const OwnedVariantArray&) = delete;
  OwnedVariantArray(OwnedVariantArray&& other) noexcept : v_(std::exchange(other.v_, {})) {}
  /// Clears what this one held first.
  OwnedVariantArray& operator=(OwnedVariantArray&& other) noexcept {
    if (this != &other) {
      clear();
      v_ = std::exchange(other.v_, {});
    }
    return *this;
  }
  ~OwnedVariantArray() { clear(); }

  /// The first VARIANT; null when there are none.
  VARIANT* data() noexcept { return v_.empty() ? nullptr : v_.data(); }
  /// How many there are.
  size_t size() const noexcept { return v_.size(); }
  /// One of them, still owned here.
  VARIANT& operator[](size_t i) noexcept { return v_[i]; }

 private:
  void clear() noexcept {
    for (VARIANT& v : v_) VariantClear(&v);
  }
  std::vector<VARIANT> v_;
};

/// Owns the three BSTRs of an EXCEPINFO (source, description, help file), freed on destruction.
/// Moving hands them over and leaves the source empty.
class OwnedExcepInfo {
 public:
  OwnedExcepInfo() noexcept { clear(); }
  OwnedExcepInfo(const OwnedExcepInfo&) = delete;
  OwnedExcepInfo& operator=(const OwnedExcepInfo&) = delete;
  OwnedExcepInfo(OwnedExcepInfo&& other) noexcept : e_(other.e_) { other.clear(); }
  /// Frees what this one held first.
  OwnedExcepInfo& operator=(OwnedExcepInfo&& other) noexcept {
    if (this != &other) {
      release();
      e_ = other.e_;
      other.clear();
    }
    return *this;
  }
  ~OwnedExcepInfo() { release(); }

  /// The EXCEPINFO for a call to fill in; what it holds stays owned here.
  EXCEPINFO* get() noexcept { return &e_; }
  /// The EXCEPINFO's fields.
  const EXCEPINFO* operator->() const noexcept { return &e_; }
  /// Moves the fields out to an EXCEPINFO the caller will free; this one is left empty.
  void detachTo(EXCEPINFO* out) noexcept {
    *out = e_;
    clear();
  }
  /// Frees the strings and empties every field.
  void reset() noexcept {
    release();
    clear();
  }

 private:
  void clear() noexcept { e_ = EXCEPINFO{}; }
  void release() noexcept {
    SysFreeString(e_.bstrSource);
    SysFreeString(e_.bstrDescription);
    SysFreeString(e_.bstrHelpFile);
  }
  EXCEPINFO e_;
};

/// Joins the calling thread to COM (CoInitializeEx) for its lifetime. It calls CoUninitialize only
/// when its own CoInitializeEx succeeded, S_FALSE (already initialised the same way) included:
/// each successful call must be paired, a failed one (RPC_E_CHANGED_MODE) must not. Movable, so the
/// pairing may change hands; it must end on the thread that made it.
class ComInitialization {
 public:
  /// Initialises with the given concurrency model (COINIT_APARTMENTTHREADED by default).
  explicit ComInitialization(DWORD model = COINIT_APARTMENTTHREADED) noexcept
      : result_(CoInitializeEx(nullptr, model)) {}
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;
  ComInitialization(ComInitialization&& other) noexcept : result_(std::exchange(other.result_, kNothingOwned)) {}
  /// Ends this one's initialisation first.
  ComInitialization& operator=(ComInitialization&& other) noexcept {
    if (this != &other) {
      end();
      result_ = std::exchange(other.result_, kNothingOwned);
    }
    return *this;
  }
  ~ComInitialization() { end(); }

  /// What CoInitializeEx answered (CO_E_NOTINITIALIZED once moved from).
  HRESULT result() const noexcept { return result_; }
  /// Whether COM is usable on this thread through this guard.
  bool ok() const noexcept { return SUCCEEDED(result_); }

 private:
  static constexpr HRESULT kNothingOwned = CO_E_NOTINITIALIZED;
  void end() noexcept {
    if (SUCCEEDED(std::exchange(result_, kNothingOwned))) CoUninitialize();
  }
  HRESULT result_;
};

}  // namespace mto::com
