#include "BStringVector.h"

#include <algorithm>

namespace {
const unsigned int kNotFound = 0xFFFFFFFFu;
const unsigned int kGrowthBase = 10;
const unsigned int kGrowthDivisor = 10;
} // namespace

BStringVector::BStringVector()
    : m_count(0), m_capacity(0), m_growthBase(kGrowthBase), m_growthDivisor(kGrowthDivisor), m_fallback(),
      m_array(nullptr)
{}

BStringVector::BStringVector(const BStringVector& other) : BStringVector()
{
    // This class's own append: no virtual dispatch while constructing.
    for (unsigned int i = 0; i < other.m_count; ++i)
        append(other.m_array[i]);
}

BStringVector& BStringVector::operator=(const BStringVector& other)
{
    if (this == &other)
        return *this;
    clear();
    // Through the virtual insert, so a derived class's ordering applies.
    for (unsigned int i = 0; i < other.m_count; ++i)
        insert(other.m_array[i]);
    return *this;
}

BStringVector::~BStringVector() { clear(); }

void BStringVector::insert(RWCString value) { append(value); }

void BStringVector::append(const RWCString& value)
{
    if (m_count == m_capacity)
        resize();
    m_array[m_count] = value;
    ++m_count;
}

void BStringVector::resize()
{
    const unsigned int capacity = m_count + m_growthBase + m_count / m_growthDivisor;
    RWCString* array = new RWCString[capacity];
    for (unsigned int i = 0; i < m_count; ++i)
        array[i] = m_array[i];
    delete[] m_array;
    m_array = array;
    m_capacity = capacity;
}

void BStringVector::removeAt(unsigned int index)
{
    if (index >= m_count)
        return;
    for (unsigned int i = index; i + 1 < m_count; ++i)
        m_array[i] = m_array[i + 1];
    --m_count;
}

unsigned int BStringVector::entries() const { return m_count; }

bool BStringVector::isEmpty() const { return m_count == 0; }

RWCString& BStringVector::operator[](unsigned int index) { return index < m_count ? m_array[index] : m_fallback; }

RWCString BStringVector::operator[](unsigned int index) const { return index < m_count ? m_array[index] : m_fallback; }

unsigned int BStringVector::find(RWCString value, bool caseSensitive) const
{
    const RWCString::caseCompare how = caseSensitive ? RWCString::exact : RWCString::ignoreCase;
    for (unsigned int i = 0; i < m_count; ++i) {
        if (m_array[i].length() == value.length() && m_array[i].compareTo(value, how) == 0)
            return i;
    }
    return kNotFound;
}

void BStringVector::clear()
{
    delete[] m_array;
    m_array = nullptr;
    m_count = 0;
    m_capacity = 0;
}

BSortedStringVector::BSortedStringVector() = default;

BSortedStringVector::BSortedStringVector(const BSortedStringVector& other) = default;

BSortedStringVector& BSortedStringVector::operator=(const BSortedStringVector& other)
{
    BStringVector::operator=(other);
    return *this;
}

BSortedStringVector::~BSortedStringVector() = default;

void BSortedStringVector::insert(RWCString value)
{
    append(value);
    std::sort(m_array, m_array + m_count,
              [](const RWCString& a, const RWCString& b) { return a.compareTo(b, RWCString::ignoreCase) < 0; });
}

void BSortedStringVector::addVector(const BStringVector& other)
{
    for (unsigned int i = 0; i < other.entries(); ++i)
        insert(other[i]);
}
