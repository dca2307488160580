#ifndef RWORDEREDVECTOR_H
#define RWORDEREDVECTOR_H

#include "tls7912d_export.h"
#include "RWBoundsErr.h"
#include "RWCString.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

// Ordered vectors: insertion order kept, indexed access checked. Every member is a header
// template, so RWBoundsErr is always thrown from the module that uses the vector.

template <class T>
class RWTValOrderedVector {
public:
    typedef T value_type;
    typedef typename std::vector<T>::iterator iterator;
    typedef typename std::vector<T>::const_iterator const_iterator;

    RWTValOrderedVector() = default;
    explicit RWTValOrderedVector(size_t capacity) { items_.reserve(capacity); }

    size_t entries() const noexcept { return items_.size(); }
    size_t length() const noexcept { return items_.size(); }
    bool isEmpty() const noexcept { return items_.empty(); }

    // Append.
    void insert(const T& v) { items_.push_back(v); }
    void insert(T&& v) { items_.push_back(std::move(v)); }
    void append(const T& v) { items_.push_back(v); }
    void append(T&& v) { items_.push_back(std::move(v)); }
    void prepend(const T& v) { items_.insert(items_.begin(), v); }
    // i may equal entries() (append); beyond that raises RWBoundsErr.
    void insertAt(size_t i, const T& v)
    {
        if (i > items_.size())
            RWBoundsErr::raise(i, items_.size());
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(i), v);
    }

    T& operator[](size_t i) { check(i); return items_[i]; }
    const T& operator[](size_t i) const { check(i); return items_[i]; }
    T& operator()(size_t i) { check(i); return items_[i]; }
    const T& operator()(size_t i) const { check(i); return items_[i]; }
    T& at(size_t i) { check(i); return items_[i]; }
    const T& at(size_t i) const { check(i); return items_[i]; }
    T& first() { check(0); return items_.front(); }
    const T& first() const { check(0); return items_.front(); }
    T& last() { check(0); return items_.back(); }
    const T& last() const { check(0); return items_.back(); }

    // Index of the first element equal to v, or RW_NPOS.
    size_t index(const T& v) const
    {
        for (size_t i = 0; i < items_.size(); ++i)
            if (items_[i] == v)
                return i;
        return RW_NPOS;
    }
    bool contains(const T& v) const { return index(v) != RW_NPOS; }
    bool find(const T& v, T& found) const
    {
        size_t i = index(v);
        if (i == RW_NPOS)
            return false;
        found = items_[i];
        return true;
    }
    size_t occurrencesOf(const T& v) const
    {
        return static_cast<size_t>(std::count(items_.begin(), items_.end(), v));
    }

    T removeAt(size_t i)
    {
        check(i);
        T v = std::move(items_[i]);
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        return v;
    }
    T removeFirst() { return removeAt(0); }
    T removeLast()
    {
        check(0);
        T v = std::move(items_.back());
        items_.pop_back();
        return v;
    }
    // Removes the first element equal to v; false when there is none.
    bool remove(const T& v)
    {
        size_t i = index(v);
        if (i == RW_NPOS)
            return false;
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
    }
    size_t removeAll(const T& v)
    {
        size_t before = items_.size();
        items_.erase(std::remove(items_.begin(), items_.end(), v), items_.end());
        return before - items_.size();
    }
    void clear() noexcept { items_.clear(); }
    void resize(size_t capacity) { items_.reserve(capacity); }

    // Ascending by operator<; equal elements keep their order.
    void sort() { std::stable_sort(items_.begin(), items_.end()); }

    const T* data() const noexcept { return items_.data(); }
    iterator begin() noexcept { return items_.begin(); }
    iterator end() noexcept { return items_.end(); }
    const_iterator begin() const noexcept { return items_.begin(); }
    const_iterator end() const noexcept { return items_.end(); }

    bool operator==(const RWTValOrderedVector& o) const { return items_ == o.items_; }
    bool operator!=(const RWTValOrderedVector& o) const { return items_ != o.items_; }

private:
    void check(size_t i) const
    {
        if (i >= items_.size())
            RWBoundsErr::raise(i, items_.size());
    }

    std::vector<T> items_;
};

// An ordered vector of pointers. It does not own the pointees unless told to destroy them
// (clearAndDestroy). Searches compare the pointees with T::operator==.
template <class T>
class RWTPtrOrderedVector {
public:
    typedef T* value_type;
    typedef typename std::vector<T*>::iterator iterator;
    typedef typename std::vector<T*>::const_iterator const_iterator;

    RWTPtrOrderedVector() = default;
    explicit RWTPtrOrderedVector(size_t capacity) { items_.reserve(capacity); }

    size_t entries() const noexcept { return items_.size(); }
    size_t length() const noexcept { return items_.size(); }
    bool isEmpty() const noexcept { return items_.empty(); }

    void insert(T* p) { items_.push_back(p); }
    void append(T* p) { items_.push_back(p); }
    void prepend(T* p) { items_.insert(items_.begin(), p); }
    void insertAt(size_t i, T* p)
    {
        if (i > items_.size())
            RWBoundsErr::raise(i, items_.size());
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(i), p);
    }

    T*& operator[](size_t i) { check(i); return items_[i]; }
    T* operator[](size_t i) const { check(i); return items_[i]; }
    T*& operator()(size_t i) { check(i); return items_[i]; }
    T* operator()(size_t i) const { check(i); return items_[i]; }
    T*& at(size_t i) { check(i); return items_[i]; }
    T* at(size_t i) const { check(i); return items_[i]; }
    T* first() const { check(0); return items_.front(); }
    T* last() const { check(0); return items_.back(); }

    // First element whose pointee equals *p (null pointers only match null), or RW_NPOS.
    size_t index(const T* p) const
    {
        for (size_t i = 0; i < items_.size(); ++i)
            if (same(items_[i], p))
                return i;
        return RW_NPOS;
    }
    // First element that is the very pointer p, or RW_NPOS.
    size_t indexByPointer(const T* p) const
    {
        for (size_t i = 0; i < items_.size(); ++i)
            if (items_[i] == p)
                return i;
        return RW_NPOS;
    }
    bool contains(const T* p) const { return index(p) != RW_NPOS; }
    // The stored pointer whose pointee equals *p, or null.
    T* find(const T* p) const
    {
        size_t i = index(p);
        return i == RW_NPOS ? nullptr : items_[i];
    }
    size_t occurrencesOf(const T* p) const
    {
        size_t n = 0;
        for (T* q : items_)
            n += same(q, p) ? 1 : 0;
        return n;
    }

    T* removeAt(size_t i)
    {
        check(i);
        T* p = items_[i];
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        return p;
    }
    T* removeFirst() { return removeAt(0); }
    T* removeLast()
    {
        check(0);
        T* p = items_.back();
        items_.pop_back();
        return p;
    }
    // Removes the first element whose pointee equals *p and returns it (null when none).
    T* remove(const T* p)
    {
        size_t i = index(p);
        return i == RW_NPOS ? nullptr : removeAt(i);
    }
    void clear() noexcept { items_.clear(); }
    // Deletes every pointee, then empties the vector.
    void clearAndDestroy()
    {
        std::vector<T*> doomed;
        doomed.swap(items_);
        for (T* p : doomed)
            delete p;
    }
    void resize(size_t capacity) { items_.reserve(capacity); }

    T* const* data() const noexcept { return items_.data(); }
    iterator begin() noexcept { return items_.begin(); }
    iterator end() noexcept { return items_.end(); }
    const_iterator begin() const noexcept { return items_.begin(); }
    const_iterator end() const noexcept { return items_.end(); }

private:
    static bool same(const T* a, const T* b)
    {
        if (a == b)
            return true;
        return a && b && *a == *b;
    }
    void check(size_t i) const
    {
        if (i >= items_.size())
            RWBoundsErr::raise(i, items_.size());
    }

    std::vector<T*> items_;
};

typedef RWTValOrderedVector<RWCString> RWCStringVector;

#endif
