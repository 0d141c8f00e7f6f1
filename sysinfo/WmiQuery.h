#pragma once
// The hardware query: WQL queries of namespace ROOT\CIMV2 through WMI, and the rules that turn
// WMI's VARIANT values into text.

#include <windows.h>

#include <oaidl.h>

#include "base/WideString.h"

#include <cstdint>
#include <map>
#include <optional>

struct IWbemLocator;
struct IWbemServices;

// Formatted numbers go through a buffer of 32 characters with its terminator: longer results
// are cut to this many characters.
inline constexpr int kVariantNumberChars = 31;

// The text of one WMI value: the string itself, a number in decimal ("%10.4f" for floating
// point), "TRUE"/"FALSE", "<null>", or "<conversion error>" for a type without a rule. Arrays
// and objects have no text (nullopt).
std::optional<WideString> variantToText(const VARIANT& value);

// Property name to text; reading a missing name inserts it as the empty text.
using WmiRow = std::map<WideString, WideString>;

// COM and WMI for one query, from scratch: security, locator, connection, proxy blanket.
// Everything it obtains is released when it goes. Used by both query paths.
class WmiConnection {
public:
    WmiConnection() = default;
    WmiConnection(const WmiConnection&) = delete;
    WmiConnection& operator=(const WmiConnection&) = delete;
    ~WmiConnection();

    // False when any step failed; nothing is held then.
    bool connect();
    IWbemServices* services() const { return services_; }

private:
    void release();

    IWbemLocator* locator_ = nullptr;
    IWbemServices* services_ = nullptr;
};

// "SELECT * FROM <className>": every non-system property of every object, as text, one row per
// object in the order WMI returns them. Made on the stack, run once, read, dropped.
class WmiQuery {
public:
    WmiQuery() = default;
    explicit WmiQuery(const WideString& name) : className(name) {}
    WmiQuery(const WmiQuery&) = delete;
    WmiQuery& operator=(const WmiQuery&) = delete;
    virtual ~WmiQuery() = default;

    // Called per object with the label "ID (n)" (n counted from 1), its Name and rowStart 1,
    // then per property with its name and text and rowStart 0.
    virtual void onValue(const WideString& label, const WideString& text, int rowStart);

    // Runs the query on the calling thread (joining the multithreaded apartment) and blocks
    // until WMI answers. Returns rowCount when the query ran, 1 when COM or WMI could not be
    // set up (rowCount is 0 then).
    int run();
    // The row with that index, created empty if absent.
    WmiRow& row(int32_t index);

    WideString className;
    std::map<int32_t, WmiRow> rows;
    int32_t rowCount = 0;
};

// Sent to the debugger before every generic query.
inline constexpr wchar_t kWmiQueryDebugLine[] = L"Executed queryAnfrage\n";
