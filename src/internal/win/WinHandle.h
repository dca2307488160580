#pragma once
// The one owner of every Win32 handle the library, its tools and its tests hold. Nothing else
// calls a close function: a handle lives in a UniqueHandle from the moment it is made, so it is
// closed exactly once on every way out, and a copyable class that holds one must duplicate it.
#include <windows.h>
#include <winsock2.h>

#include <type_traits>
#include <utility>

namespace ravel {

// A policy names the handle type, the value that means "no handle" and how to close one (true
// when the system accepted the close). Stateless policies cost nothing; a stateful one (a handle
// closed through a run-time bound library) travels with the handle.
template <class Policy>
class UniqueHandle : private Policy
{
public:
    using type = typename Policy::type;

    UniqueHandle() noexcept : m_handle(Policy::none()) {}
    explicit UniqueHandle(type handle, Policy policy = Policy()) noexcept : Policy(policy), m_handle(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : Policy(other), m_handle(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
            static_cast<Policy&>(*this) = static_cast<Policy&>(other);
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    type get() const noexcept { return m_handle; }
    bool valid() const noexcept { return Policy::valid(m_handle); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without closing.
    type release() noexcept { return std::exchange(m_handle, Policy::none()); }
    // Closes what is held (if anything) and takes the new handle.
    void reset(type handle = Policy::none()) noexcept
    {
        const type old = std::exchange(m_handle, handle);
        if (Policy::valid(old))
            Policy::close(old);
    }
    // Closes what is held now, for callers that report whether the system accepted it; true when
    // nothing was held.
    bool close() noexcept
    {
        const type old = release();
        return !Policy::valid(old) || Policy::close(old);
    }
    // Closes what is held and returns the slot for an API that writes a handle through a pointer.
    type* receive() noexcept
    {
        reset();
        return &m_handle;
    }

private:
    type m_handle;
};

namespace handle_policy {

// Kernel objects that are null when absent (processes, threads, events, pipes, mutexes). Some
// calls answer INVALID_HANDLE_VALUE instead; neither is ever closed.
struct Kernel
{
    using type = HANDLE;
    static type none() { return nullptr; }
    static bool valid(type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static bool close(type h) { return ::CloseHandle(h) != FALSE; }
};

// Files from CreateFile: INVALID_HANDLE_VALUE when absent.
struct File
{
    using type = HANDLE;
    static type none() { return INVALID_HANDLE_VALUE; }
    static bool valid(type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static bool close(type h) { return ::CloseHandle(h) != FALSE; }
};

struct Find
{
    using type = HANDLE;
    static type none() { return INVALID_HANDLE_VALUE; }
    static bool valid(type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static bool close(type h) { return ::FindClose(h) != FALSE; }
};

// Registry keys; the predefined roots are never ours to close.
struct RegistryKey
{
    using type = HKEY;
    static type none() { return nullptr; }
    static bool valid(type h) { return h != nullptr && (reinterpret_cast<ULONG_PTR>(h) & 0xFFFFFFF0u) != 0x80000000u; }
    static bool close(type h) { return ::RegCloseKey(h) == ERROR_SUCCESS; }
};

struct Module
{
    using type = HMODULE;
    static type none() { return nullptr; }
    static bool valid(type h) { return h != nullptr; }
    static bool close(type h) { return ::FreeLibrary(h) != FALSE; }
};

struct Socket
{
    using type = SOCKET;
    static type none() { return INVALID_SOCKET; }
    static bool valid(type h) { return h != INVALID_SOCKET; }
    static bool close(type h) { return ::closesocket(h) == 0; }
};

// An ICMP handle is closed through the library that made it (icmp.dll or iphlpapi.dll), bound at
// run time; the closer is that library's IcmpCloseHandle.
struct Icmp
{
    using type = HANDLE;
    using Closer = BOOL(WINAPI*)(HANDLE);
    Closer closer = nullptr;
    Icmp() = default;
    explicit Icmp(Closer c) : closer(c) {}
    static type none() { return INVALID_HANDLE_VALUE; }
    static bool valid(type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    bool close(type h) const { return closer != nullptr && closer(h) != FALSE; }
};

} // namespace handle_policy

using KernelHandle = UniqueHandle<handle_policy::Kernel>;
using FileHandle = UniqueHandle<handle_policy::File>;
using FindHandle = UniqueHandle<handle_policy::Find>;
using RegistryKeyHandle = UniqueHandle<handle_policy::RegistryKey>;
using ModuleHandle = UniqueHandle<handle_policy::Module>;
using SocketHandle = UniqueHandle<handle_policy::Socket>;
using IcmpHandle = UniqueHandle<handle_policy::Icmp>;

// A duplicate of a kernel or file handle in this process (the original stays with its owner), for
// classes whose copies must own their own handle; no handle when there is none to copy or the
// system refuses. The duplicate is never inheritable. Other handle types have their own ways to
// copy (reload a module, reopen a key).
template <class Policy = handle_policy::Kernel>
UniqueHandle<Policy> duplicateHandle(HANDLE from)
{
    static_assert(std::is_same<Policy, handle_policy::Kernel>::value ||
                      std::is_same<Policy, handle_policy::File>::value,
                  "only kernel objects and files are duplicated with DuplicateHandle");
    HANDLE copy = Policy::none();
    if (Policy::valid(from) &&
        !::DuplicateHandle(::GetCurrentProcess(), from, ::GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        copy = Policy::none();
    return UniqueHandle<Policy>(copy);
}

// Windows Sockets started for the life of the object, released once if the start succeeded.
class WinsockSession
{
public:
    explicit WinsockSession(WORD version = MAKEWORD(1, 1))
    {
        WSADATA data;
        m_started = ::WSAStartup(version, &data) == 0;
    }
    ~WinsockSession()
    {
        if (m_started)
            ::WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool started() const { return m_started; }

private:
    bool m_started = false;
};

// Runs an action when the scope ends, unless dismissed: for undo steps that are not a handle
// (restoring the standard output, deleting a half-written file).
template <class F>
class ScopeExit
{
public:
    explicit ScopeExit(F action) : m_action(std::move(action)) {}
    ~ScopeExit()
    {
        if (m_armed)
            m_action();
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    void dismiss() { m_armed = false; }

private:
    F m_action;
    bool m_armed = true;
};

template <class F>
ScopeExit<F> onScopeExit(F action)
{
    return ScopeExit<F>(std::move(action));
}

} // namespace ravel
