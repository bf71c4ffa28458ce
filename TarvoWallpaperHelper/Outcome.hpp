#pragma once

#include <exception>
#include <optional>
#include <utility>

namespace lumivo {

// The result of a blocking step run elsewhere: a value, or the exception the
// step threw. Lets a failure cross threads and be rethrown or shown later.
template <typename T>
class Outcome {
  public:
    // Runs `step` and keeps what it returns or throws.
    template <typename Step>
    static Outcome capture(Step&& step) {
        try {
            return Outcome(std::forward<Step>(step)());
        } catch (...) {
            return Outcome(std::current_exception());
        }
    }

    explicit Outcome(T value) : value_(std::move(value)) {}
    explicit Outcome(std::exception_ptr error) : error_(std::move(error)) {}

    bool failed() const { return error_ != nullptr; }
    // Precondition: !failed().
    const T& value() const { return *value_; }
    std::exception_ptr error() const { return error_; }

  private:
    std::optional<T> value_;
    std::exception_ptr error_;
};

}  // namespace lumivo
