#pragma once
// The number format in force: taken from the user's locale at start-up and
// handed to the core. A command that needs another decimal separator for its
// duration changes it through DecimalSeparatorGuard, which restores it in
// every case.
namespace quarlex {

struct NumberFormat {
    char decimalSeparator = '.';
};

class DecimalSeparatorGuard {
public:
    DecimalSeparatorGuard(NumberFormat& format, char separator)
        : m_format(format), m_saved(format.decimalSeparator) {
        m_format.decimalSeparator = separator;
    }
    ~DecimalSeparatorGuard() { m_format.decimalSeparator = m_saved; }
    DecimalSeparatorGuard(const DecimalSeparatorGuard&) = delete;
    DecimalSeparatorGuard& operator=(const DecimalSeparatorGuard&) = delete;

private:
    NumberFormat& m_format;
    char m_saved;
};

} // namespace quarlex
