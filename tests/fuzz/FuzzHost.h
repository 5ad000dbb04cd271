// FuzzHost: a simulator whose every reply is read from the fuzzer's input, on the fake JVM.
// Which methods each host object has, whether a call returns, returns null or throws, every
// id, time, double and text, the true length of each list and the size it claims: all of it
// comes from the input, one call at a time, in the order the library asks.
#ifndef TOUCHLINE_TESTS_FUZZHOST_H
#define TOUCHLINE_TESTS_FUZZHOST_H

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <functional>
#include <string>

#include "FakeJvm.h"

namespace fuzzhost {

// The fuzzer's input, read as values. Once it is used up every read gives zero, which means:
// the method exists, the call returns normally, the value is 0 (or "", or an empty list).
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data, size) {}

    bool exhausted() { return data_.remaining_bytes() == 0; }
    uint8_t byte() { return data_.ConsumeIntegral<uint8_t>(); }
    // A whole number in [low, high].
    int range(int low, int high) { return data_.ConsumeIntegralInRange<int>(low, high); }
    // Small ids, counts and sides mostly; negative numbers and the extremes of int sometimes.
    int32_t integer();
    // As integer(), with high bits set sometimes: the library keeps the low 32 bits of a long.
    int64_t longValue();
    // Court-sized values mostly; NaN, infinities, -0, the extremes and raw bits sometimes.
    double real();
    // Event type names mostly; names off by a letter, empty text, encoded NULs, surrogates,
    // text that is not modified UTF-8 and raw bytes sometimes.
    std::string text();
    // Which of an object's methods are missing, one bit per method: none, mostly.
    uint32_t missing();

private:
    FuzzedDataProvider data_;
};

// What the host's Java exceptions are called: the one that ends a match and the others.
extern const char* const kMatchOver;
extern const char* const kHostFault;
extern const char* const kIndexOutOfBounds;

class FuzzHost {
public:
    FuzzHost(fakejvm::FakeJvm& jvm, Input& input);

    // A local reference to the adapter object as the host passes it to adapterRun; now and then
    // a null one.
    jobject adapterRef();

    // The first Java exception the host threw since forgetThrown() ("" for none): once one is
    // pending the library makes no further call, so it must be the one pending at the end.
    const std::string& firstThrown() const { return firstThrown_; }
    // Records an exception the fake JVM raised for the host (a string function that failed).
    void threw(const std::string& what);
    // The host has cleared the exception: the next run starts without one.
    void forgetThrown() { firstThrown_.clear(); }

private:
    using Factory = std::function<fakejvm::Object*()>;

    [[noreturn]] void raise(const char* what);
    fakejvm::Object& object(const std::string& label);
    // Registers name/signature on o unless the next bit of mask says it is missing.
    void offer(fakejvm::Object& o, uint32_t& mask, const char* name, const char* signature,
               fakejvm::Handler handler);
    // Handlers whose outcome the input decides: throw, or the value read.
    fakejvm::Handler scalar(std::function<fakejvm::Value()> value);
    // ... or null, or the object made now.
    fakejvm::Handler objectOf(Factory make);
    fakejvm::Handler string();
    fakejvm::Handler voidCall();
    // A void method whose argument at `argument` must be a live Java string.
    fakejvm::Handler textCall(size_t argument);
    // A java.util.List of up to `most` elements made by make; size() usually tells the truth,
    // get() beyond the true length throws as a Java list does.
    fakejvm::Object* list(const std::string& label, int most, Factory make);

    fakejvm::Object* info();
    fakejvm::Object* operate();
    fakejvm::Object* debug();
    fakejvm::Object* court();
    fakejvm::Object* ball();
    fakejvm::Object* team();
    fakejvm::Object* bot();
    fakejvm::Object* event();
    fakejvm::Object* view(const std::string& kind);

    fakejvm::FakeJvm& jvm_;
    Input& input_;
    fakejvm::Object& adapter_;
    int steps_ = 0;
    std::string firstThrown_;
};

}  // namespace fuzzhost

#endif
