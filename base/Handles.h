#pragma once
// Owners for the system resources the tool acquires: one type per kind, each
// non-copyable, movable, with its release call in exactly one place.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <utility>

template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() noexcept : value_(Traits::Empty()) {}
    explicit UniqueResource(Type value) noexcept : value_(value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ~UniqueResource() { Reset(); }

    Type Get() const noexcept { return value_; }
    bool Valid() const noexcept { return value_ != Traits::Empty(); }
    explicit operator bool() const noexcept { return Valid(); }

    Type Release() noexcept { return std::exchange(value_, Traits::Empty()); }
    void Reset(Type value = Traits::Empty()) noexcept
    {
        const Type old = std::exchange(value_, value);
        if (old != Traits::Empty())
            Traits::Close(old);
    }

private:
    Type value_;
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};
// Kernel objects whose "no handle" value is null (events, processes, threads).
using UniqueHandle = UniqueResource<KernelHandleTraits>;

struct FileHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};
// CreateFile's handles, whose failure value is INVALID_HANDLE_VALUE.
using UniqueFile = UniqueResource<FileHandleTraits>;

struct FindHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { FindClose(h); }
};
using UniqueFind = UniqueResource<FindHandleTraits>;

struct ModuleTraits {
    using Type = HMODULE;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { FreeLibrary(h); }
};
// A library loaded with LoadLibrary, unloaded once.
using UniqueModule = UniqueResource<ModuleTraits>;

struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { DeleteObject(h); }
};
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;

struct WindowTraits {
    using Type = HWND;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { DestroyWindow(h); }
};
using UniqueWindow = UniqueResource<WindowTraits>;

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { RegCloseKey(h); }
};
using UniqueRegKey = UniqueResource<RegistryKeyTraits>;

struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { LocalFree(h); }
};
// Memory a call hands over from the local heap (CommandLineToArgvW's list).
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

// A counted COM interface pointer; releases its reference once.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            ptr_ = std::exchange(other.ptr_, nullptr);
        }
        return *this;
    }
    ~ComPtr() { Reset(); }

    T* Get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    // For the out-parameter of a call that hands over a reference.
    T** Put() noexcept
    {
        Reset();
        return &ptr_;
    }
    void Reset() noexcept
    {
        if (ptr_ != nullptr)
            std::exchange(ptr_, nullptr)->Release();
    }

private:
    T* ptr_ = nullptr;
};

// Memory that belongs to a shell task allocator (item lists, buffers); freed
// through that same allocator.
class ShellAllocation {
public:
    ShellAllocation() noexcept = default;
    ShellAllocation(IMalloc* allocator, void* memory) noexcept : allocator_(allocator), memory_(memory) {}
    ShellAllocation(const ShellAllocation&) = delete;
    ShellAllocation& operator=(const ShellAllocation&) = delete;
    ShellAllocation(ShellAllocation&& other) noexcept
        : allocator_(std::exchange(other.allocator_, nullptr)), memory_(std::exchange(other.memory_, nullptr))
    {
    }
    ShellAllocation& operator=(ShellAllocation&& other) noexcept
    {
        if (this != &other) {
            Reset();
            allocator_ = std::exchange(other.allocator_, nullptr);
            memory_ = std::exchange(other.memory_, nullptr);
        }
        return *this;
    }
    ~ShellAllocation() { Reset(); }

    void* Get() const noexcept { return memory_; }
    template <typename T>
    T* As() const noexcept { return static_cast<T*>(memory_); }
    void Reset() noexcept
    {
        if (memory_ != nullptr && allocator_ != nullptr)
            allocator_->Free(memory_);
        memory_ = nullptr;
    }

private:
    IMalloc* allocator_ = nullptr;
    void* memory_ = nullptr;
};
