// The module's two logs, below the host folder, written in UTF-8:
// - the daily module log: dados\LogImp00000NF\LogImp00000NF<yyyy>\LogImp00000NF<ddmmyy>.txt, folders created
//   when missing; every failure, decision and job step of the module is written here;
// - the monthly print log: Dados\ImpNaoFiscal\LogImpressoraNFiscal<mmyy>.txt, whose folder is not created.
// Each line is the date and time in the short formats, " - " and the text (a Windows-1252 text).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace imp::log {

// Appends one line to the daily module log. Any failure is ignored: logging never stops a job.
void LogErroImpNaoFiscal(std::string_view text);

// Appends one line to the monthly print log. When the file cannot be written (its folder is missing ...),
// the failure is written to the daily log instead; it never reaches the host.
void LogImpNFiscal(std::string_view text);

// Writes a text the first time its key is seen in the running job (see platform/job.h); outside a job,
// every time.
void LogOncePerJob(std::string_view key, std::string_view text);

// Once per job: data held characters with no Windows-1252 form (printed as "?") or NULs (printed as
// blanks); `where` names the packet, field or query.
void NoteReplacedCharacters(std::string_view where);

// Where today's files are (for tests and previews).
std::filesystem::path daily_log_path();
std::filesystem::path print_log_path();

}  // namespace imp::log
