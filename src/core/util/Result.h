#pragma once
// A small result type for errors the caller must handle.
#include <string>
#include <utility>
#include <variant>

namespace tolvan {

struct Error {
    int code = 0;
    std::string message;
};

template <typename T>
class Result {
public:
    Result(T value) : data_(std::move(value)) {}
    Result(Error error) : data_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(data_); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<T>(data_); }
    T& value() { return std::get<T>(data_); }
    const Error& error() const { return std::get<Error>(data_); }

private:
    std::variant<T, Error> data_;
};

struct Ok {};
using Status = Result<Ok>;

}  // namespace tolvan
