// Device operations: one interface through which documents print on every printer family. Each operation
// takes the model code first and dispatches on its family to a maker's library, to raw control bytes through
// the spooler or the direct port, to the bitmap page or to the host's routines; it returns 1 (or another
// positive value) on success and 0 on failure or when the model selects no device, logs
// "<operation>_<model>: <result>", and never raises.
//
// IniciaPorta_DLL ... FechaPorta_DLL form one span that holds the job lock `cs`. Spans are counted per
// thread: a close releases only what its own thread's open took, and ReleaseOpenSpans (at the end of every
// job, of ImprimePadrao and of AbreGaveta) releases what a thread left open.
#pragma once

#include <string>
#include <string_view>

namespace imp {

int IniciaPorta_DLL(std::string_view model, std::string_view port);
int FormataTX_DLL(std::string_view model, std::string_view text, int letterType, int italic, int underline,
                  int expanded, int bold);
int EnviaTX_DLL(std::string_view model, std::string_view bytes, int letterType, int italic, int underline, int expanded,
                int bold);
int ConfCodBarras_DLL(std::string_view model, int height, int width, int position, int font, int margin);
int ImprimeCODE128_DLL(std::string_view model, std::string_view data);
int ImprimeQRCode_DLL(std::string_view model, std::string_view data, std::string_view sideText);
int AcionaGaveta_DLL(std::string_view model);
int AcionaGuilhotina_DLL(std::string_view model, int mode);
int ComandoTX_DLL(std::string_view model, std::string_view bytes);
int PrintNVBitmap_DLL(std::string_view model, std::string_view image, std::string_view key1, std::string_view key2);
int FechaPorta_DLL(std::string_view model, std::string_view port);
int StatusGaveta(std::string_view model, std::string_view port);
// Both hold `cs` for their whole run.
int VerificaStatusGaveta(std::string_view model, std::string_view port);
void AbreGaveta(std::string_view model, std::string_view port);

// Releases the spans the calling thread opened and did not close; logged when there were any.
void ReleaseOpenSpans();

// The Windows printer the last open of a Windows-printer model made current ("" before any).
std::string CurrentWindowsPrinter();
// One document "Quivane (Velmora-Brask)" on that printer (else the default one), raw unless `format` names
// another document format; cancelled when a write fails. imp::Error on failure.
void PrintOnWindowsPrinter(std::string_view bytes, const std::string& format = {});

}  // namespace imp
