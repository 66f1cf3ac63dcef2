#include "engine/response_writer.h"

#include "commands/conversions.h"
#include "engine/record_bytes.h"
#include "platform/platform.h"
#include "resources/texts.h"

namespace zentrada::engine {

std::string ResponseFileName(const std::string& baseName, const std::string& stamp, bool simpleMode) {
    return simpleMode ? baseName + ".fpo" : baseName + "_" + stamp + ".fpo";
}

std::string FormatRecord(std::int32_t lineNumber, const std::vector<std::string>& fields) {
    std::string record = "Line " + std::to_string(lineNumber) + ": ";
    bool blank = false;
    for (const std::string& field : fields) {
        // Fields are C texts to the readers of this file: a NUL ends one.
        if (!blank) record += field.substr(0, field.find('\0'));
        record += '|';
        if (&field == &fields.front()) blank = commands::ParseDecimal(field) == 1;
    }
    record += kRecordEnd;
    return record;
}

ResponseWriter::ResponseWriter(std::string path, const AgentLog& log, std::function<std::int32_t()> lineNumber,
                               bool durable)
    : path_(std::move(path)), log_(log), lineNumber_(std::move(lineNumber)), durable_(durable) {}

void ResponseWriter::WriteResponse(const std::vector<std::string>& fields) {
    const bool written = platform::WriteFileBytes(path_, FormatRecord(lineNumber_(), fields), !started_, durable_);
    if (written) {
        started_ = true;
    } else if (!failureLogged_) {
        // The line has been executed all the same; say once per command file
        // that its answer is missing.
        log_.WriteLog(FillPattern(texts::kResponseNotWritten, {path_}));
        failureLogged_ = true;
    }
}

}  // namespace zentrada::engine
