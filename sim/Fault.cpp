// Parsing, checking and writing back the device's fault-script entries.
#include "sim/Fault.h"

#include "base/Printable.h"

#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {

struct StepNameEntry {
    Step step;
    const char* name;
};
constexpr StepNameEntry kStepNames[] = {
    {Step::Identity, "identity"},
    {Step::Restart, "restart"},
    {Step::Banner, "banner"},
    {Step::Version, "version"},
    {Step::Ready, "ready"},
    {Step::Xon, "xon"},
    {Step::Xoff, "xoff"},
    {Step::LineComplete, "line-complete"},
    {Step::FileComplete, "file-complete"},
    {Step::Row, "row"},
    {Step::Dsr, "dsr"},
    {Step::Status, "status"},
};

struct ActionNameEntry {
    Action action;
    const char* name;
};
constexpr ActionNameEntry kActionNames[] = {
    {Action::Wrong, "wrong"},   {Action::None, "none"},     {Action::Reply, "reply"},
    {Action::Extra, "extra"},   {Action::Delay, "delay"},   {Action::KeepDsr, "keep-dsr"},
    {Action::Dead, "dead"},     {Action::Hangup, "hangup"}, {Action::Garbage, "garbage"},
    {Action::Reject, "reject"}, {Action::Off, "off"},       {Action::Flap, "flap"},
    {Action::Fail, "fail"},
};

constexpr std::size_t kMaxText = 4096;
constexpr std::uint32_t kMaxDelayMs = 600000;
constexpr std::uint32_t kMaxGarbage = 4096;
constexpr int kMaxRow = 100000000;

bool Fail(std::string* error, const std::string& why) {
    if (error != nullptr) {
        *error = why;
    }
    return false;
}

bool IsRowStep(Step step) {
    return step == Step::Xon || step == Step::Xoff || step == Step::LineComplete ||
           step == Step::Row;
}

bool IsOutputStep(Step step) {
    return step != Step::Restart && step != Step::Row && step != Step::Dsr && step != Step::Status;
}

// Which actions make sense at which step.
bool ActionFits(Step step, Action action) {
    if (step == Step::Dsr) {
        return action == Action::Off || action == Action::Flap || action == Action::Delay;
    }
    if (step == Step::Status) {
        return action == Action::Fail;
    }
    switch (action) {
    case Action::Wrong:
    case Action::None:
    case Action::Reply:
    case Action::Extra:
    case Action::Garbage:
        return IsOutputStep(step) || (step == Step::Restart && action == Action::None);
    case Action::Delay:
    case Action::Dead:
    case Action::Hangup:
        return true;
    case Action::KeepDsr:
        return step == Step::Restart;
    case Action::Reject:
        return step == Step::Row;
    case Action::Off:
    case Action::Flap:
    case Action::Fail:
        break;
    }
    return false;
}

bool ParseNumber(const std::string& text, std::uint64_t limit, std::uint64_t* value) {
    if (text.empty() || text.size() > 12) {
        return false;
    }
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v > limit) {
        return false;
    }
    *value = v;
    return true;
}

bool StepFromName(const std::string& name, Step* step) {
    for (const auto& entry : kStepNames) {
        if (name == entry.name) {
            *step = entry.step;
            return true;
        }
    }
    return false;
}

} // namespace

const char* StepName(Step step) {
    for (const auto& entry : kStepNames) {
        if (entry.step == step) {
            return entry.name;
        }
    }
    return "?";
}

const char* ActionName(Action action) {
    for (const auto& entry : kActionNames) {
        if (entry.action == action) {
            return entry.name;
        }
    }
    return "?";
}

bool UnescapeText(const std::string& text, std::string* out) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            result += text[i];
            continue;
        }
        if (++i >= text.size()) {
            return false;
        }
        switch (text[i]) {
        case 'r':
            result += '\r';
            break;
        case 'n':
            result += '\n';
            break;
        case 't':
            result += '\t';
            break;
        case '\\':
            result += '\\';
            break;
        case '"':
            result += '"';
            break;
        case 'x': {
            if (i + 2 >= text.size()) {
                return false;
            }
            int value = 0;
            for (int k = 1; k <= 2; ++k) {
                const char c = text[i + static_cast<std::size_t>(k)];
                int digit = -1;
                if (c >= '0' && c <= '9') {
                    digit = c - '0';
                } else if (c >= 'a' && c <= 'f') {
                    digit = c - 'a' + 10;
                } else if (c >= 'A' && c <= 'F') {
                    digit = c - 'A' + 10;
                }
                if (digit < 0) {
                    return false;
                }
                value = value * 16 + digit;
            }
            result += static_cast<char>(value);
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    *out = std::move(result);
    return true;
}

bool ParseFault(const std::string& line, Fault* fault, std::string* error) {
    if (line.size() > kMaxText + 64) {
        return Fail(error, "fault entry too long");
    }
    // Split on ':' into the step part, the action part and an optional "once"; a colon inside
    // an argument has to be written \x3A.
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t colon = line.find(':', start);
        parts.push_back(line.substr(start, colon - start));
        if (colon == std::string::npos) {
            break;
        }
        start = colon + 1;
    }
    if (parts.size() < 2 || parts.size() > 3) {
        return Fail(error, "expected STEP:ACTION[:once] in '" + line + "'");
    }
    Fault result;
    if (parts.size() == 3) {
        if (parts[2] != "once") {
            return Fail(error, "unknown modifier '" + parts[2] + "' (only 'once')");
        }
        result.once = true;
    }

    // Step, with an optional row.
    std::string stepText = parts[0];
    std::string rowText;
    bool rowGiven = false;
    if (stepText.rfind("row=", 0) == 0) {
        result.step = Step::Row;
        rowText = stepText.substr(4);
        rowGiven = true;
    } else {
        const std::size_t at = stepText.find('@');
        if (at != std::string::npos) {
            const std::string qualifier = stepText.substr(at + 1);
            if (qualifier.rfind("row=", 0) != 0) {
                return Fail(error, "expected @row=N after the step in '" + line + "'");
            }
            rowText = qualifier.substr(4);
            stepText = stepText.substr(0, at);
            rowGiven = true;
        }
        if (!StepFromName(stepText, &result.step)) {
            return Fail(error, "unknown step '" + stepText + "'");
        }
    }
    if (rowGiven) {
        std::uint64_t row = 0;
        if (!ParseNumber(rowText, kMaxRow, &row) || row == 0) {
            return Fail(error, "row must be a number from 1 in '" + line + "'");
        }
        if (!IsRowStep(result.step)) {
            return Fail(error, std::string("step '") + StepName(result.step) + "' takes no row");
        }
        result.row = static_cast<int>(row);
    }

    // Action and its argument.
    const std::string& actionText = parts[1];
    const std::size_t eq = actionText.find('=');
    const std::string name = actionText.substr(0, eq);
    const bool hasArg = eq != std::string::npos;
    const std::string arg = hasArg ? actionText.substr(eq + 1) : std::string();
    bool found = false;
    for (const auto& entry : kActionNames) {
        if (name == entry.name) {
            result.action = entry.action;
            found = true;
        }
    }
    if (name == "extra-lf") {
        result.action = Action::Extra;
        result.text = "\n";
        found = true;
        if (hasArg) {
            return Fail(error, "extra-lf takes no argument");
        }
    }
    if (!found) {
        return Fail(error, "unknown action '" + name + "'");
    }
    switch (result.action) {
    case Action::Wrong:
    case Action::Reply:
    case Action::Extra:
        if (name == "extra-lf") {
            break;
        }
        if (!hasArg || !UnescapeText(arg, &result.text)) {
            return Fail(error, name + " needs a text argument (escapes \\r \\n \\t \\\\ \\xHH)");
        }
        if (result.text.size() > kMaxText) {
            return Fail(error, name + " text is longer than 4096 characters");
        }
        if (result.action == Action::Wrong && result.text.size() != 1) {
            return Fail(error, "wrong= takes exactly one character");
        }
        if (result.action == Action::Extra && result.text.empty()) {
            return Fail(error, "extra= needs at least one character");
        }
        break;
    case Action::Delay:
    case Action::Flap:
    case Action::Garbage: {
        std::uint64_t value = 0;
        const std::uint64_t limit = result.action == Action::Garbage ? kMaxGarbage : kMaxDelayMs;
        if (!hasArg || !ParseNumber(arg, limit, &value) ||
            (result.action == Action::Flap && value == 0)) {
            return Fail(error, name + " needs a number up to " + std::to_string(limit));
        }
        result.value = static_cast<std::uint32_t>(value);
        break;
    }
    default:
        if (hasArg) {
            return Fail(error, name + " takes no argument");
        }
        break;
    }
    if (!ActionFits(result.step, result.action)) {
        return Fail(error, std::string("action '") + ActionName(result.action) +
                               "' does not apply to step '" + StepName(result.step) + "'");
    }
    *fault = result;
    return true;
}

std::string FormatFault(const Fault& fault) {
    std::string out;
    if (fault.step == Step::Row) {
        out = fault.row > 0 ? "row=" + std::to_string(fault.row) : std::string("row");
    } else {
        out = StepName(fault.step);
        if (fault.row > 0) {
            out += "@row=" + std::to_string(fault.row);
        }
    }
    out += ':';
    out += ActionName(fault.action);
    switch (fault.action) {
    case Action::Wrong:
    case Action::Reply:
    case Action::Extra:
        out += '=';
        for (char c : base::Escaped(fault.text)) {
            if (c == ':') {
                out += "\\x3A";
            } else {
                out += c;
            }
        }
        break;
    case Action::Delay:
    case Action::Flap:
    case Action::Garbage:
        out += '=' + std::to_string(fault.value);
        break;
    default:
        break;
    }
    if (fault.once) {
        out += ":once";
    }
    return out;
}

std::string FaultSyntaxHelp() {
    return "A fault entry names a step of the exchange and what the device does there:\n"
           "  STEP[@row=N]:ACTION[=ARG][:once]     row=N:ACTION[=ARG][:once]\n"
           "Steps:\n"
           "  identity       application firmware's 18-character reply to \"<V\"\n"
           "  restart        application firmware restarting into the boot loader on \"<W\"\n"
           "  banner         boot loader output when it starts or its line opens, before the\n"
           "                 identification request (nothing normally)\n"
           "  version        \"KYST-SM-2.10\" and CR, the reply to the identification request\n"
           "  ready          \"?\"\n"
           "  xon@row=N      XON before row N (without @row: before every row)\n"
           "  xoff@row=N     XOFF after row N\n"
           "  line-complete@row=N   \"~\" after row N\n"
           "  file-complete  \"@\" after the end-of-file record\n"
           "  row=N          the reception of row N (row: every row)\n"
           "  dsr            the device's signal on DSR (CTS and DCD carry it too): on while\n"
           "                 the application firmware runs, off once the boot loader runs\n"
           "  status         the program's read of the modem lines\n"
           "Actions:\n"
           "  wrong=C        send character C instead\n"
           "  none           send nothing for this step, then carry on\n"
           "  reply=TEXT     send TEXT instead (e.g. a reply of another length or content)\n"
           "  extra=TEXT     send TEXT after the step's output; extra-lf = extra=\\n\n"
           "  delay=MS       hold this step's output and all after it for MS milliseconds\n"
           "  keep-dsr       (restart) restart, but keep DSR on\n"
           "  dead           stop answering from here until the line is next opened\n"
           "  hangup         as dead, and close the line\n"
           "  garbage=N      send N noise characters instead (never a protocol character)\n"
           "  reject         (row) answer the row as a bad row: NAK (0x15), then XON again\n"
           "  off            (dsr) a cable without DSR: DSR reads off, even while the\n"
           "                 application firmware runs\n"
           "  flap=MS        (dsr) from \"<W\" until the boot loader runs, DSR goes off and on\n"
           "                 every MS milliseconds\n"
           "  fail           (status) reading the modem lines fails\n"
           "  none at restart ignores \"<W\"; delay at a row holds its acknowledgement;\n"
           "  delay at dsr drops DSR that long after the boot loader took over.\n"
           "TEXT and C take the escapes \\r \\n \\t \\\\ \\xHH (a colon is \\x3A).\n"
           "':once' makes the entry act only the first time its step comes.\n"
           "Examples: xoff@row=5:wrong=Z  version:extra-lf  ready:delay=2500  row=40:dead\n"
           "          identity:reply=\\rKYST-SM-01,123456  restart:keep-dsr  banner:garbage=20\n"
           "          dsr:delay=2500  dsr:flap=50  dsr:off  status:fail:once\n";
}

} // namespace sim
