// Raw documents through the print spooler: SendSpool finds the printer that matches a share, a port or the
// default printer, keeps one document open across several writes when asked, and can keep a backup copy of
// what it sends; GetHost and GetIpAddress name this computer.
#pragma once

#include <string>
#include <string_view>

namespace imp {

// 1 when the data was written (or, with empty data, when the printer was found and its document opened),
// 0 otherwise. The open document lives in `hPrinter` until a call with `finish`.
int SendSpool(std::string_view share, std::string_view port, std::string_view driverFilter,
              std::string_view documentName, std::string_view data, bool keepBackup, bool finish);

// This computer's host name (at most 64 characters) and the first address of that name, "127.0.0.1" when
// either cannot be read.
std::string GetHost();
std::string GetIpAddress();

// A document left open when its span ended without the finishing write (a job that failed halfway) is
// finished here, never left holding its queue. Logged when there was one.
void FinishOpenSpoolDocument();

}  // namespace imp
