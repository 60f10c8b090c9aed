#pragma once

#include <stdexcept>
#include <string>

namespace korvane {

// The base of every error Korvane raises on purpose. The message is what the user reads.
class EKorvane : public std::runtime_error {
public:
    explicit EKorvane(const std::string& Message) : std::runtime_error(Message) {}
};

// A broken precondition inside the program. The message names the operation
// ("CloseFile", "TLine.Stop", ...), never a user's mistake.
class EAssertion : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// An index outside a list's bounds.
class EListError : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// An object that cannot be copied into another of an unrelated class.
class EConvertError : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// A class name read from a file that names no registered class.
class EClassNotFound : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// Arithmetic that would give a division by zero, an overflow or a value that is not a number.
class EMathError : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// Reading or writing a stream or a file failed.
class EStreamError : public EKorvane {
public:
    using EKorvane::EKorvane;
};

class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// Opening or creating a file failed.
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// Throws EAssertion with Text unless Condition holds.
void Assert(bool Condition, const char* Text);

} // namespace korvane
