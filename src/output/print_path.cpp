// PROVISIONAL: replaced by the print paths.
#include "output/print_path.h"

#include "platform/log.h"

namespace imp {

bool Envia_Dados_Impressora(std::string_view, std::string_view, std::string_view, std::string_view, std::string_view,
                            std::string_view, std::string_view) {
  log::LogErroImpNaoFiscal("Envia_Dados_Impressora: rotina não disponível");
  return false;
}

}  // namespace imp
