// Printer models and the text print paths every document ends in: the legacy direct-port routines, the port
// mapping of LPT ports, ImprimePadrao, ImprimeNF and Envia_Dados_Impressora.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace imp {

// The display name of a model code for log lines ("13_Bematech_MP-4200_MP-4200_ADV"), or the code itself.
std::string ModeloImpressora(std::string_view code);

// ---- legacy direct-port routines (act on stTipoImpressora and the direct port cPorta) ----
// Assigns the direct port to `port`, opens and closes it once; imp::Error on an I/O failure. 1.
int IniciaPorta(std::string_view port);
// IniciaPorta for the print paths: the failure logged as "IniciaPorta_<reason>" and answered with 0.
int AbrePortaDireta(std::string_view port);
// Writes ESC SI DC2 (none for models 18, 53, 54) and the text to the direct port; 1, or 0 (logged) on failure.
int Formata(std::string_view text, int letterType, int italic, int underline, int expanded, int bold);
// Writes a command to the direct port; 1, or 0 (logged) on failure.
int EnviaComando(std::string_view command);
// Formata and EnviaComando for the model of the ticket being printed, whatever model a previous job recorded
// in stTipoImpressora (model 6 goes through its library, the others write the direct port).
int FormataModelo(std::string_view model, std::string_view text, int letterType = 0, int italic = 0, int underline = 0,
                  int expanded = 0, int bold = 0);
int EnviaComandoModelo(std::string_view model, std::string_view command);
// Writes ESC @ to `port` (nothing for "USB" and models 24, 29, 41, 44); 1, or 0 on failure.
int ResetImpressora(std::string_view model, std::string_view port);
int FechaP_Bematech_MP2032();

// An LPT port is redirected to the network share that \Dados\Cadastros\cdsMapeamento.cds names for it.
bool DoPortMapping(std::string_view model, std::string_view port);
// Narrows a report printed on a directly attached printer of a fiscal till.
void AjustaImpressaoDireta(std::string_view report, std::string_view model, std::string_view port, int32_t& columns);
bool VersaoWindows7ouSuperior();

// Prints a finished text on a printer: the route follows the model family and the port. Returns true when
// the text was sent; every decision and failure is logged.
bool Envia_Dados_Impressora(std::string_view model, std::string_view port, std::string_view text,
                            std::string_view lineFeed, std::string_view closing, std::string_view noExtraFeed,
                            std::string_view share);
bool ImprimePadrao(std::string_view port, std::string_view model, std::string_view text);
// Sends a kept ticket (Dados\ImpPendentes\) to its port again; a ticket that reaches the printer is removed.
// False, with the reason in `error`, when it could not be sent (the ticket stays).
bool ReimprimePendente(std::string_view id, std::string& error);
// result: "Ok", or "Erro na impressão da impressora não fiscal".
void ImprimeNF(std::string_view port, std::string_view model, std::string_view text, std::string& result);

}  // namespace imp
