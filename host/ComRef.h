// Owns one COM interface reference, released when it goes.
#pragma once

namespace vantrel::host {

template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (pointer_ != nullptr) pointer_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T** put() { return &pointer_; }
    void** putVoid() { return reinterpret_cast<void**>(&pointer_); }
    T* get() const { return pointer_; }
    T* operator->() const { return pointer_; }

private:
    T* pointer_ = nullptr;
};

}  // namespace vantrel::host
