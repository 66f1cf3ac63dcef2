#include "commands/frame.h"

#include <cstring>

#include "commands/conversions.h"
#include "resources/texts.h"

namespace zentrada::commands {
namespace {

// The output areas of one command, alive for that command only: its
// buffers lie one after another in `bytes`, each zero-filled when placed.
struct OutputAreas {
    std::array<char, kMaxOutputBytes> bytes;
    std::size_t used = 0;
    std::array<std::int32_t, kMaxDriverArguments> numbers{};
};

void PrepareArguments(const CommandRow& row, const std::vector<std::string>& params,
                      std::array<DriverArgument, kMaxDriverArguments>& args, OutputAreas& areas) {
    std::size_t next = 0;
    for (int i = 0; i < row.kindCount; ++i) {
        const KindSpec kind = row.kinds[i];
        DriverArgument& arg = args[i];
        switch (kind.id) {
            case KindId::Text: arg.text = params[next++].c_str(); break;
            case KindId::Int:
            case KindId::Bool:
            case KindId::Char: arg.value = ParameterValue(kind.id, params[next++]); break;
            case KindId::Out:
                // Every row's buffers fit together: MakeRow checks them.
                arg.buffer = areas.bytes.data() + areas.used;
                std::memset(arg.buffer, 0, static_cast<std::size_t>(kind.size));
                areas.used += static_cast<std::size_t>(kind.size);
                break;
            case KindId::OutInt:
            case KindId::OutFlag: arg.number = &areas.numbers[i]; break;
        }
    }
}

std::vector<std::string> RecordFields(const CommandRow& row, std::int32_t status,
                                      const std::array<DriverArgument, kMaxDriverArguments>& args) {
    std::vector<std::string> fields;
    fields.reserve(static_cast<std::size_t>(1 + row.kindCount - row.parameterCount));
    fields.push_back(std::to_string(status));
    for (int i = 0; i < row.kindCount; ++i) {
        const KindSpec kind = row.kinds[i];
        const DriverArgument& arg = args[i];
        if (kind.id == KindId::Out) {
            // A library that leaves no NUL is never read past its buffer.
            fields.emplace_back(arg.buffer, strnlen(arg.buffer, static_cast<std::size_t>(kind.size)));
        } else if (kind.id == KindId::OutInt) {
            fields.push_back(std::to_string(*arg.number));
        } else if (kind.id == KindId::OutFlag) {
            fields.emplace_back(*arg.number != 0 ? "S" : "N");
        }
    }
    return fields;
}

void KeepDriverLog(CommandContext& context, const std::vector<std::string>& params) {
    context.driverLog.path.assign(params[0], 0, DriverLogSetting::kMaxPath);
    context.driverLog.level = ParseDecimal(params[1]);
}

}  // namespace

std::int32_t ParameterValue(KindId kind, std::string_view text) {
    switch (kind) {
        case KindId::Int: return ParseDecimal(text);
        case KindId::Bool: return ParseBooleanWord(text);
        case KindId::Char: return ParseChar(text);
        default: return 0;
    }
}

std::int32_t RunCommand(const CommandRow& row, CommandContext& context,
                        const std::vector<std::string>& params) {
    if (row.rule == RowRule::NeverExecuted) return -1;
    if (static_cast<int>(params.size()) != row.parameterCount) return -1;
    if (context.checkOnly) return 1;

    std::int32_t status = 3;
    if (row.resolved(context.driver)) {
        std::array<DriverArgument, kMaxDriverArguments> args{};
        OutputAreas areas;
        PrepareArguments(row, params, args, areas);
        status = row.call(context.driver, args.data());
        context.responses.WriteResponse(RecordFields(row, status, args));
    } else {
        // An entry point the library lacks is never called; the line fails
        // with the agent's own code so the stop rule applies.
        context.responses.WriteResponse({"3", std::string(texts::kEntryPointMissingPrefix) + row.name});
    }
    if (row.rule == RowRule::SetsDriverLog) KeepDriverLog(context, params);
    return status;
}

}  // namespace zentrada::commands
