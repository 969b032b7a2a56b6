#pragma once

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <utility>

namespace mto::com {

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

/// Owns a VARIANT (cleared on destruction).
class OwnedVariant {
 public:
  OwnedVariant() { VariantInit(&v_); }
  OwnedVariant(const OwnedVariant&) = delete;
  OwnedVariant& operator=(const OwnedVariant&) = delete;
  ~OwnedVariant() { VariantClear(&v_); }

  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  VARIANT* operator->() { return &v_; }
  const VARIANT* operator->() const { return &v_; }
  /// Clears and returns the VARIANT for an out-parameter.
  VARIANT* put() {
    VariantClear(&v_);
    return &v_;
  }
  /// Moves the content out to a VARIANT the caller owns; this one is left Empty.
  void detachTo(VARIANT* out) {
    *out = v_;
    VariantInit(&v_);
  }

 private:
  VARIANT v_;
};

/// Releases the BSTRs of an EXCEPINFO on destruction.
class OwnedExcepInfo {
 public:
  OwnedExcepInfo() { clear(); }
  OwnedExcepInfo(const OwnedExcepInfo&) = delete;
  OwnedExcepInfo& operator=(const OwnedExcepInfo&) = delete;
  ~OwnedExcepInfo() { release(); }
  EXCEPINFO* get() { return &e_; }
  const EXCEPINFO* operator->() const { return &e_; }
  /// Moves the fields out to an EXCEPINFO the caller will free; this one is left empty.
  void detachTo(EXCEPINFO* out) {
    *out = e_;
    clear();
  }
  void reset() {
    release();
    clear();
  }

 private:
  void clear() { e_ = EXCEPINFO{}; }
  void release() {
    SysFreeString(e_.bstrSource);
    SysFreeString(e_.bstrDescription);
    SysFreeString(e_.bstrHelpFile);
  }
  EXCEPINFO e_;
};

}  // namespace mto::com
