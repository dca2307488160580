#pragma once
#include "RWCString.h"
#include "RavelExport.h"

// A growable list of strings in insertion order. Out-of-range reads yield the fallback string
// (empty unless a caller wrote through a reference to it); "not found" is all bits set.
class RAVELUTIL_API BStringVector
{
public:
    BStringVector();
    BStringVector(const BStringVector& other);
    BStringVector& operator=(const BStringVector& other);
    virtual ~BStringVector();

    virtual void insert(RWCString value);

    void removeAt(unsigned int index);
    unsigned int entries() const;
    bool isEmpty() const;
    RWCString& operator[](unsigned int index);
    RWCString operator[](unsigned int index) const;
    unsigned int find(RWCString value, bool caseSensitive) const;
    void clear();

protected:
    void append(const RWCString& value);

    unsigned int m_count;
    unsigned int m_capacity;
    unsigned int m_growthBase;
    unsigned int m_growthDivisor;
    RWCString m_fallback;
    RWCString* m_array;

private:
    void resize();
};

// Keeps its strings in ascending case-insensitive order, re-sorting after every insert.
class RAVELUTIL_API BSortedStringVector : public BStringVector
{
public:
    BSortedStringVector();
    BSortedStringVector(const BSortedStringVector& other);
    BSortedStringVector& operator=(const BSortedStringVector& other);
    ~BSortedStringVector() override;

    void insert(RWCString value) override;
    void addVector(const BStringVector& other);
};
