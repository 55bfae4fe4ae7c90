// Command-line parsing for tonefade-host: positional arguments, options written
// "--name VALUE" or "--name=VALUE", switches, and the number formats the commands take.
// Every mistake is thrown as a UsageError, which the program reports with exit status 2.
#pragma once

#include <initializer_list>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace host {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Args {
public:
    // Parses argv[first...]: `switches` take no value, `valued` take one. One of these
    // options where a value should be means the value is missing; anything else there is
    // the value ("-1", "--odd"), and "--name=VALUE" takes any value.
    // Those of `valued` also in `valueOptional` take the next argument only when it is "-" or
    // does not begin with "-"; alone, their value is empty.
    Args(int argc, char** argv, int first, const std::set<std::string>& switches, const std::set<std::string>& valued,
         const std::set<std::string>& valueOptional = {});
    Args(int argc, char** argv, int first, std::initializer_list<const char*> switches,
         std::initializer_list<const char*> valued);
    bool Has(const std::string& name) const;
    std::string Value(const std::string& name, const std::string& fallback = "") const;
    const std::vector<std::string>& Positional() const { return positional_; }
    // Throws unless there are the positional arguments `required` names, then at most
    // `optional` more; "missing OUTPUT" names only those not given.
    void ExpectPositional(const std::vector<std::string>& required, std::size_t optional = 0) const;
    void ExpectPositional(std::initializer_list<const char*> required, std::size_t optional = 0) const;

private:
    std::set<std::string> switches_;
    std::map<std::string, std::string> values_;
    std::vector<std::string> positional_;
};

// "--name takes a whole number from MIN to MAX, not 'TEXT'" when out of range or malformed.
long ParseInteger(const std::string& option, const std::string& text, long min, long max);
double ParseNumber(const std::string& option, const std::string& text, double min, double max);
// "WxH", each side from 1 to 32767 (the largest the plug-in's rectangles can address).
void ParseSize(const std::string& option, const std::string& text, int* width, int* height);
// `count` numbers separated by commas, each from MIN to MAX; `placeholder` ("A,B,C") names
// them in the message.
std::vector<double> ParseNumbers(const std::string& option, const std::string& text, const std::string& placeholder,
                                 int count, double min, double max);
// "A,B,C", three numbers from 0 to 1.
void ParseSliders(const std::string& option, const std::string& text, float sliders[3]);

}  // namespace host
