// Exported makers' library routines and device operations. Each takes the job lock for its call; the span
// of IniciaPorta_DLL keeps it until FechaPorta_DLL on the same thread.
#include <mutex>

#include "imp00000.h"
#include "module/globals.h"
#include "output/bitmap_page.h"
#include "output/device_ops.h"
#include "output/vendor_libs.h"
#include "package/frame.h"
#include "platform/abi_variant.h"
#include "platform/hostdir.h"

using namespace imp;

namespace {

using package::under_cs;
using package::under_cs_void;

std::string_view T(const char* s) {
  return abi::text_arg(s);
}

}  // namespace

extern "C" {

IMP_API int32_t Cli_imp00000_StartMp2032(void) {
  return under_cs<int32_t>("StartMp2032", 0, [] { return imp::StartMp2032(); });
}
IMP_API int32_t StartMp2032(void) {
  return Cli_imp00000_StartMp2032();
}
IMP_API int32_t Cli_imp00000_StartDarumaFrameWork(void) {
  return under_cs<int32_t>("StartDarumaFrameWork", 0, [] { return imp::StartDarumaFrameWork(); });
}
IMP_API int32_t StartDarumaFrameWork(void) {
  return Cli_imp00000_StartDarumaFrameWork();
}
IMP_API int32_t Cli_imp00000_StartKioskDll(void) {
  return under_cs<int32_t>("StartKioskDll", 0, [] { return imp::StartKioskDll(); });
}
IMP_API int32_t StartKioskDll(void) {
  return Cli_imp00000_StartKioskDll();
}
IMP_API int32_t Cli_imp00000_StartInterfaceEpsonNF(const char* port) {
  return under_cs<int32_t>("StartInterfaceEpsonNF", 0, [&] { return imp::StartInterfaceEpsonNF(T(port)); });
}
IMP_API int32_t StartInterfaceEpsonNF(const char* port) {
  return Cli_imp00000_StartInterfaceEpsonNF(port);
}
IMP_API int32_t Cli_imp00000_StartSI300(const char* model, const char* port) {
  return under_cs<int32_t>("StartSI300", 0, [&] { return imp::StartSI300(T(model), T(port)); });
}
IMP_API int32_t StartSI300(const char* model, const char* port) {
  return Cli_imp00000_StartSI300(model, port);
}
IMP_API void Cli_imp00000_StopMp2032(void) {
  under_cs_void("StopMp2032", [] { imp::StopMp2032(); });
}
IMP_API void Cli_imp00000_StopDarumaFrameWork(void) {
  under_cs_void("StopDarumaFrameWork", [] { imp::StopDarumaFrameWork(); });
}
IMP_API void Cli_imp00000_StopInterfaceEpsonNF(void) {
  under_cs_void("StopInterfaceEpsonNF", [] { imp::StopInterfaceEpsonNF(); });
}
IMP_API void Cli_imp00000_StopSI300(void) {
  under_cs_void("StopSI300", [] { imp::StopSI300(); });
}
IMP_API void Cli_imp00000_StopKioskDll(void) {
  under_cs_void("StopKioskDll", [] { imp::StopKioskDll(); });
}

IMP_API int32_t Cli_imp00000_TrdmImpressoras_IniciaPorta_DLL(const char* model, const char* port) {
  return under_cs<int32_t>("IniciaPorta_DLL", 0, [&] { return imp::IniciaPorta_DLL(T(model), T(port)); });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_FormataTX_DLL(const char* model, const char* text, int32_t letter_type,
                                                           int32_t italic, int32_t underline, int32_t expanded,
                                                           int32_t bold) {
  return under_cs<int32_t>("FormataTX_DLL", 0, [&] {
    return imp::FormataTX_DLL(T(model), T(text), letter_type, italic, underline, expanded, bold);
  });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_EnviaTX_DLL(const char* model, const char* bytes, int32_t letter_type,
                                                         int32_t italic, int32_t underline, int32_t expanded,
                                                         int32_t bold) {
  return under_cs<int32_t>("EnviaTX_DLL", 0, [&] {
    return imp::EnviaTX_DLL(T(model), T(bytes), letter_type, italic, underline, expanded, bold);
  });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_ConfCodBarras_DLL(const char* model, int32_t height, int32_t width,
                                                               int32_t position, int32_t font, int32_t margin) {
  return under_cs<int32_t>("ConfCodBarras_DLL", 0,
                           [&] { return imp::ConfCodBarras_DLL(T(model), height, width, position, font, margin); });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_ImprimeCODE128_DLL(const char* model, const char* data) {
  return under_cs<int32_t>("ImprimeCODE128_DLL", 0, [&] { return imp::ImprimeCODE128_DLL(T(model), T(data)); });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_ImprimeQRCode_DLL(const char* model, const char* data,
                                                               const char* side_text) {
  return under_cs<int32_t>("ImprimeQRCode_DLL", 0,
                           [&] { return imp::ImprimeQRCode_DLL(T(model), T(data), T(side_text)); });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_AcionaGaveta_DLL(const char* model) {
  return under_cs<int32_t>("AcionaGaveta_DLL", 0, [&] { return imp::AcionaGaveta_DLL(T(model)); });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_AcionaGuilhotina_DLL(const char* model, int32_t mode) {
  return under_cs<int32_t>("AcionaGuilhotina_DLL", 0, [&] { return imp::AcionaGuilhotina_DLL(T(model), mode); });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_ComandoTX_DLL(const char* model, const char* bytes) {
  return under_cs<int32_t>("ComandoTX_DLL", 0, [&] { return imp::ComandoTX_DLL(T(model), T(bytes)); });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_PrintNVBitmap_DLL(const char* model, const char* image, const char* key1,
                                                               const char* key2) {
  return under_cs<int32_t>("PrintNVBitmap_DLL", 0,
                           [&] { return imp::PrintNVBitmap_DLL(T(model), T(image), T(key1), T(key2)); });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_FechaPorta_DLL(const char* model, const char* port) {
  return under_cs<int32_t>("FechaPorta_DLL", 0, [&] { return imp::FechaPorta_DLL(T(model), T(port)); });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_StatusGaveta(const char* model, const char* port) {
  return under_cs<int32_t>("StatusGaveta", 0, [&] { return imp::StatusGaveta(T(model), T(port)); });
}
IMP_API int32_t Cli_imp00000_VerificaStatusGaveta(const char* model, const char* port) {
  return package::guarded<int32_t>("VerificaStatusGaveta", 0,
                                   [&] { return imp::VerificaStatusGaveta(T(model), T(port)); });
}
IMP_API int32_t VerificaStatusGaveta(const char* model, const char* port) {
  return Cli_imp00000_VerificaStatusGaveta(model, port);
}
IMP_API void Cli_imp00000_AbreGaveta(const char* model, const char* port) {
  package::guarded_void("AbreGaveta", [&] { imp::AbreGaveta(T(model), T(port)); });
}
IMP_API void AbreGaveta(const char* model, const char* port) {
  Cli_imp00000_AbreGaveta(model, port);
}

IMP_API void Cli_imp00000_StartBitMap(const char* model) {
  under_cs_void("StartBitMap", [&] { imp::StartBitMap(T(model)); });
}
IMP_API int32_t Cli_imp00000_SaveTextBitMap(const char* model, const char* text, const char* qr_code,
                                            const char* barcode) {
  return under_cs<int32_t>("SaveTextBitMap", 0,
                           [&] { return imp::SaveTextBitMap(T(model), T(text), T(qr_code), T(barcode)); });
}
IMP_API int32_t Cli_imp00000_SaveQrCodeBitMap(const char* data) {
  return under_cs<int32_t>("SaveQrCodeBitMap", 0, [&] { return imp::SaveQrCodeBitMap(T(data)); });
}
IMP_API int32_t Cli_imp00000_SaveBarCodeBitMap(const char* data) {
  return under_cs<int32_t>("SaveBarCodeBitMap", 0, [&] { return imp::SaveBarCodeBitMap(T(data)); });
}
IMP_API int32_t Cli_imp00000_StopAndPrintBitMap(void) {
  return under_cs<int32_t>("StopAndPrintBitMap", 0, [] { return imp::StopAndPrintBitMap(); });
}
IMP_API void Cli_imp00000_ResizeBitMap(void) {
  under_cs_void("ResizeBitMap", [] { imp::ResizeBitMap(); });
}
IMP_API void Cli_imp00000_ResizeBitMap2(void) {
  under_cs_void("ResizeBitMap2", [] { imp::ResizeBitMap2(); });
}
IMP_API int32_t Cli_imp00000_GerarCodigo(const char* data, const char* file) {
  return under_cs<int32_t>("GerarCodigo", 0, [&] {
    // The file name is below the host folder like every path the module writes.
    return imp::GerarCodigo(T(data), imp::hostdir::resolve(T(file))) ? 1 : 0;
  });
}
IMP_API void Cli_imp00000_IniciaPorta_BitMap(const char* model, const char* port) {
  under_cs_void("IniciaPorta_BitMap", [&] { imp::IniciaPorta_BitMap(T(model), T(port)); });
}
IMP_API void Cli_imp00000_FormataTX_BitMap(const char* model, const char* text, int32_t letter_type, int32_t italic,
                                           int32_t underline, int32_t expanded, int32_t bold) {
  under_cs_void("FormataTX_BitMap",
                [&] { imp::FormataTX_BitMap(T(model), T(text), letter_type, italic, underline, expanded, bold); });
}
IMP_API void Cli_imp00000_ImprimeCODE128_BitMap(const char* model, const char* data) {
  under_cs_void("ImprimeCODE128_BitMap", [&] { imp::ImprimeCODE128_BitMap(T(model), T(data)); });
}
IMP_API void Cli_imp00000_ImprimeQRCode_BitMap(const char* model, const char* data, const char* side_text) {
  under_cs_void("ImprimeQRCode_BitMap", [&] { imp::ImprimeQRCode_BitMap(T(model), T(data), T(side_text)); });
}
IMP_API void Cli_imp00000_FechaPorta_BitMap(const char* model, const char*) {
  under_cs_void("FechaPorta_BitMap", [&] { imp::FechaPorta_BitMap(T(model)); });
}
IMP_API int32_t Cli_imp00000_FormataTexto_BitMap(const char* model, const char* document) {
  return under_cs<int32_t>("FormataTexto_BitMap", 0, [&] { return imp::FormataTexto_BitMap(T(model), T(document)); });
}

}  // extern "C"
