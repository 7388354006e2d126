#pragma once
// Exceptions and small string helpers shared by every layer above the platform.

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

// Base of every error the framework and the subsystems raise. The message is
// fixed English text; callers show it or compare it, never parse it.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    void SetMessage(std::string message) { message_ = std::move(message); }
    const char* what() const noexcept override { return message_.c_str(); }
    // The class name of the error, for reports ("EReadError").
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string message_;
};

// Declares an exception class with the constructors of its base.
#define TW_DECLARE_EXCEPTION(Cls, Base)                                  \
    class Cls : public Base {                                            \
    public:                                                              \
        using Base::Base;                                                \
        const char* ClassName() const noexcept override { return #Cls; } \
    }

TW_DECLARE_EXCEPTION(EAbort, Exception);
TW_DECLARE_EXCEPTION(EConvertError, Exception);  // failed conversions, Assign mismatches
TW_DECLARE_EXCEPTION(ERangeError, Exception);    // a value outside its type's range
TW_DECLARE_EXCEPTION(EInvalidOperation, Exception);
TW_DECLARE_EXCEPTION(EInvalidCast, Exception);
TW_DECLARE_EXCEPTION(EListError, Exception);       // bad index into a list or collection
TW_DECLARE_EXCEPTION(EComponentError, Exception);  // names, ownership
TW_DECLARE_EXCEPTION(EPropertyError, Exception);   // unknown or read-only published property
TW_DECLARE_EXCEPTION(EStreamError, Exception);
TW_DECLARE_EXCEPTION(EFOpenError, EStreamError);
TW_DECLARE_EXCEPTION(EFCreateError, EStreamError);
TW_DECLARE_EXCEPTION(EFilerError, EStreamError);  // component streaming
TW_DECLARE_EXCEPTION(EReadError, EFilerError);
TW_DECLARE_EXCEPTION(EWriteError, EFilerError);
TW_DECLARE_EXCEPTION(EClassNotFound, EFilerError);
TW_DECLARE_EXCEPTION(EParserError, Exception);      // text form syntax
TW_DECLARE_EXCEPTION(EAssertionFailed, Exception);  // an internal consistency check failed

// ASCII case-insensitive comparison, as names of classes, properties and
// components are compared.
bool SameText(std::string_view a, std::string_view b) noexcept;
int CompareText(std::string_view a, std::string_view b) noexcept;
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);

std::string IntToStr(int64_t value);
std::string IntToHex(uint64_t value, int digits);
// Decimal (optionally signed) or '$'-prefixed hexadecimal; anything else,
// including overflow of 32 bits, raises EConvertError
// "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view text);
int64_t StrToInt64(std::string_view text);
bool TryStrToInt64(std::string_view text, int64_t& value) noexcept;

// True for a Pascal-style identifier: a letter or '_' followed by letters,
// digits or '_'. Component names must be identifiers.
bool IsValidIdent(std::string_view s) noexcept;
