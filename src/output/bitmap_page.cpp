#include "output/bitmap_page.h"

#include <string>

#include "module/globals.h"
#include "output/models.h"
#include "platform/cp1252.h"
#include "platform/log.h"

namespace imp {
namespace {

int page_unavailable(std::string_view model) {
  log::LogErroImpNaoFiscal("Rota de página bitmap não disponível nesta instalação: modelo "_cp + std::string(model));
  return 0;
}

}  // namespace

void StartBitMap(std::string_view) {}

int StopAndPrintBitMap() {
  const std::string model = globals::stTipoImpressora.get();
  return models::bitmap_model(models::code_of(model)) ? page_unavailable(model) : 1;
}

int SaveTextBitMap(std::string_view model, std::string_view, std::string_view, std::string_view) {
  return page_unavailable(model);
}

bool GerarCodigo(std::string_view, const std::filesystem::path&) {
  log::LogErroImpNaoFiscal("GerarCodigo: imagem de código de barras não disponível nesta instalação"_cp);
  return false;
}

void IniciaPorta_BitMap(std::string_view, std::string_view) {}
void FormataTX_BitMap(std::string_view, std::string_view, int, int, int, int, int) {}
void ImprimeCODE128_BitMap(std::string_view, std::string_view) {}
void ImprimeQRCode_BitMap(std::string_view, std::string_view, std::string_view) {}
void FechaPorta_BitMap(std::string_view) {}

}  // namespace imp
