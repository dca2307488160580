#ifndef RWORDEREDVECTOR_H
#define RWORDEREDVECTOR_H

#include "RWBoundsErr.h"
#include "RWCString.h"
#include "tls7912d_export.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

// Ordered vectors: insertion order kept, indexed access checked. Every member is a header
// template, so RWBoundsErr is always thrown from the module that uses the vector.

template <class T>
class RWTValOrderedVector
{
public:
    typedef T value_type;
    typedef typename std::vector<T>::iterator iterator;
    typedef typename std::vector<T>::const_iterator const_iterator;

    RWTValOrderedVector() = default;
    explicit RWTValOrderedVector(size_t capacity) { m_items.reserve(capacity); }

    size_t entries() const noexcept { return m_items.size(); }
    size_t length() const noexcept { return m_items.size(); }
    bool isEmpty() const noexcept { return m_items.empty(); }

    // Append.
    void insert(const T& v) { m_items.push_back(v); }
    void insert(T&& v) { m_items.push_back(std::move(v)); }
    void append(const T& v) { m_items.push_back(v); }
    void append(T&& v) { m_items.push_back(std::move(v)); }
    void prepend(const T& v) { m_items.insert(m_items.begin(), v); }
    // i may equal entries() (append); beyond that raises RWBoundsErr.
    void insertAt(size_t i, const T& v)
    {
        if (i > m_items.size())
            RWBoundsErr::raise(i, m_items.size());
        m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(i), v);
    }

    T& operator[](size_t i)
    {
        check(i);
        return m_items[i];
    }
    const T& operator[](size_t i) const
    {
        check(i);
        return m_items[i];
    }
    T& operator()(size_t i)
    {
        check(i);
        return m_items[i];
    }
    const T& operator()(size_t i) const
    {
        check(i);
        return m_items[i];
    }
    T& at(size_t i)
    {
        check(i);
        return m_items[i];
    }
    const T& at(size_t i) const
    {
        check(i);
        return m_items[i];
    }
    T& first()
    {
        check(0);
        return m_items.front();
    }
    const T& first() const
    {
        check(0);
        return m_items.front();
    }
    T& last()
    {
        check(0);
        return m_items.back();
    }
    const T& last() const
    {
        check(0);
        return m_items.back();
    }

    // Index of the first element equal to v, or RW_NPOS.
    size_t index(const T& v) const
    {
        for (size_t i = 0; i < m_items.size(); ++i)
            if (m_items[i] == v)
                return i;
        return RW_NPOS;
    }
    bool contains(const T& v) const { return index(v) != RW_NPOS; }
    bool find(const T& v, T& found) const
    {
        size_t i = index(v);
        if (i == RW_NPOS)
            return false;
        found = m_items[i];
        return true;
    }
    size_t occurrencesOf(const T& v) const
    {
        return static_cast<size_t>(std::count(m_items.begin(), m_items.end(), v));
    }

    T removeAt(size_t i)
    {
        check(i);
        T v = std::move(m_items[i]);
        m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i));
        return v;
    }
    T removeFirst() { return removeAt(0); }
    T removeLast()
    {
        check(0);
        T v = std::move(m_items.back());
        m_items.pop_back();
        return v;
    }
    // Removes the first element equal to v; false when there is none.
    bool remove(const T& v)
    {
        size_t i = index(v);
        if (i == RW_NPOS)
            return false;
        m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
    }
    size_t removeAll(const T& v)
    {
        size_t before = m_items.size();
        m_items.erase(std::remove(m_items.begin(), m_items.end(), v), m_items.end());
        return before - m_items.size();
    }
    void clear() noexcept { m_items.clear(); }
    void resize(size_t capacity) { m_items.reserve(capacity); }

    // Ascending by operator<; equal elements keep their order.
    void sort() { std::stable_sort(m_items.begin(), m_items.end()); }

    const T* data() const noexcept { return m_items.data(); }
    iterator begin() noexcept { return m_items.begin(); }
    iterator end() noexcept { return m_items.end(); }
    const_iterator begin() const noexcept { return m_items.begin(); }
    const_iterator end() const noexcept { return m_items.end(); }

    bool operator==(const RWTValOrderedVector& o) const { return m_items == o.m_items; }
    bool operator!=(const RWTValOrderedVector& o) const { return m_items != o.m_items; }

private:
    void check(size_t i) const
    {
        if (i >= m_items.size())
            RWBoundsErr::raise(i, m_items.size());
    }

    std::vector<T> m_items;
};

// An ordered vector of pointers. It does not own the pointees unless told to destroy them
// (clearAndDestroy). Searches compare the pointees with T::operator==.
template <class T>
class RWTPtrOrderedVector
{
public:
    typedef T* value_type;
    typedef typename std::vector<T*>::iterator iterator;
    typedef typename std::vector<T*>::const_iterator const_iterator;

    RWTPtrOrderedVector() = default;
    explicit RWTPtrOrderedVector(size_t capacity) { m_items.reserve(capacity); }

    size_t entries() const noexcept { return m_items.size(); }
    size_t length() const noexcept { return m_items.size(); }
    bool isEmpty() const noexcept { return m_items.empty(); }

    void insert(T* p) { m_items.push_back(p); }
    void append(T* p) { m_items.push_back(p); }
    void prepend(T* p) { m_items.insert(m_items.begin(), p); }
    void insertAt(size_t i, T* p)
    {
        if (i > m_items.size())
            RWBoundsErr::raise(i, m_items.size());
        m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(i), p);
    }

    T*& operator[](size_t i)
    {
        check(i);
        return m_items[i];
    }
    T* operator[](size_t i) const
    {
        check(i);
        return m_items[i];
    }
    T*& operator()(size_t i)
    {
        check(i);
        return m_items[i];
    }
    T* operator()(size_t i) const
    {
        check(i);
        return m_items[i];
    }
    T*& at(size_t i)
    {
        check(i);
        return m_items[i];
    }
    T* at(size_t i) const
    {
        check(i);
        return m_items[i];
    }
    T* first() const
    {
        check(0);
        return m_items.front();
    }
    T* last() const
    {
        check(0);
        return m_items.back();
    }

    // First element whose pointee equals *p (null pointers only match null), or RW_NPOS.
    size_t index(const T* p) const
    {
        for (size_t i = 0; i < m_items.size(); ++i)
            if (same(m_items[i], p))
                return i;
        return RW_NPOS;
    }
    // First element that is the very pointer p, or RW_NPOS.
    size_t indexByPointer(const T* p) const
    {
        for (size_t i = 0; i < m_items.size(); ++i)
            if (m_items[i] == p)
                return i;
        return RW_NPOS;
    }
    bool contains(const T* p) const { return index(p) != RW_NPOS; }
    // The stored pointer whose pointee equals *p, or null.
    T* find(const T* p) const
    {
        size_t i = index(p);
        return i == RW_NPOS ? nullptr : m_items[i];
    }
    size_t occurrencesOf(const T* p) const
    {
        size_t n = 0;
        for (T* q : m_items)
            n += same(q, p) ? 1 : 0;
        return n;
    }

    T* removeAt(size_t i)
    {
        check(i);
        T* p = m_items[i];
        m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i));
        return p;
    }
    T* removeFirst() { return removeAt(0); }
    T* removeLast()
    {
        check(0);
        T* p = m_items.back();
        m_items.pop_back();
        return p;
    }
    // Removes the first element whose pointee equals *p and returns it (null when none).
    T* remove(const T* p)
    {
        size_t i = index(p);
        return i == RW_NPOS ? nullptr : removeAt(i);
    }
    void clear() noexcept { m_items.clear(); }
    // Deletes every pointee, then empties the vector.
    void clearAndDestroy()
    {
        std::vector<T*> doomed;
        doomed.swap(m_items);
        for (T* p : doomed)
            delete p;
    }
    void resize(size_t capacity) { m_items.reserve(capacity); }

    T* const* data() const noexcept { return m_items.data(); }
    iterator begin() noexcept { return m_items.begin(); }
    iterator end() noexcept { return m_items.end(); }
    const_iterator begin() const noexcept { return m_items.begin(); }
    const_iterator end() const noexcept { return m_items.end(); }

private:
    static bool same(const T* a, const T* b)
    {
        if (a == b)
            return true;
        return a && b && *a == *b;
    }
    void check(size_t i) const
    {
        if (i >= m_items.size())
            RWBoundsErr::raise(i, m_items.size());
    }

    std::vector<T*> m_items;
};

typedef RWTValOrderedVector<RWCString> RWCStringVector;

#endif
