#include "cli/options.h"

#include "cli/order_names.h"

namespace {

// Whether arg is to be read as an option: it starts with '-' and is more than a lone "-".
bool looksLikeOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-';
}

// Reads the ORDER of --to or --from, given either as "--to=ORDER" or as the next argument.
// Advances next past a separate value. Returns false with problem set when it is missing or
// names no order.
bool readOrderValue(const std::vector<std::string>& args, std::size_t& next, const std::string& name,
                    const std::string* inlineValue, ByteOrder& order, std::string& problem) {
    std::string value;
    if (inlineValue) {
        value = *inlineValue;
    } else if (next < args.size()) {
        value = args[next++];
    } else {
        problem = "option '" + name + "' needs an ORDER";
        return false;
    }
    if (!parseOrderName(value, order)) {
        problem = "unknown ORDER '" + value + "' for " + name + " (use big, little or v64)";
        return false;
    }
    return true;
}

// Reads one option of the convert command at args[next - 1]. Returns false with problem set
// for an option convert does not know.
bool readConvertOption(const std::vector<std::string>& args, std::size_t& next, Options& options,
                       std::string& problem) {
    const std::string& arg = args[next - 1];
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const std::string value = equals == std::string::npos ? std::string() : arg.substr(equals + 1);
    const std::string* inlineValue = equals == std::string::npos ? nullptr : &value;

    if (name == "--to") return readOrderValue(args, next, name, inlineValue, options.target, problem);
    if (name == "--from") return readOrderValue(args, next, name, inlineValue, options.source, problem);
    if (arg == "--backup") {
        options.backup = true;
        return true;
    }
    if (arg == "--rename") {
        options.rename = true;
        return true;
    }
    problem = "unknown option '" + arg + "'";
    return false;
}

} // namespace

bool parseArguments(const std::vector<std::string>& args, Options& options, std::string& problem) {
    options = Options();
    if (args.empty()) {
        problem = "no command given";
        return false;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") {
        options.command = Command::Help;
        return true;
    }
    if (command == "--version") {
        options.command = Command::Version;
        return true;
    }
    if (command == "detect") {
        options.command = Command::Detect;
    } else if (command == "convert") {
        options.command = Command::Convert;
    } else {
        problem = "unknown command '" + command + "'";
        return false;
    }

    bool optionsEnded = false;
    for (std::size_t next = 1; next < args.size();) {
        const std::string& arg = args[next++];
        if (optionsEnded || !looksLikeOption(arg)) {
            options.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            options.command = Command::Help;
            return true;
        } else if (arg == "--version") {
            options.command = Command::Version;
            return true;
        } else if (options.command != Command::Convert) {
            problem = "unknown option '" + arg + "'";
            return false;
        } else if (!readConvertOption(args, next, options, problem)) {
            return false;
        }
    }

    if (options.command == Command::Convert && options.target == ByteOrder::None) {
        problem = "convert needs --to ORDER";
        return false;
    }
    if (options.files.empty()) {
        problem = "no FILE given";
        return false;
    }
    return true;
}
