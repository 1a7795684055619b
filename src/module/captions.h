// The caption tables of the print data module: one per country layout, plus `msgPadrao` with the
// country-independent operator messages and the captions the fiscal and report documents print directly.
// Each table is built once on first use and never changes, so any thread may read it at any time.
#pragma once

#include <string_view>

#include "host/messages.h"

namespace imp {

// The footer line naming the software maker and its web address (key "VELMORA"; "Velmora" in msgPadrao).
inline constexpr std::string_view kSoftwareMakerLine = "Velmora Sistemas - www.velmora.com.br";

const TMessages& msgPadrao();
const TMessages& msgPadraoBrasil();
const TMessages& msgPadraoAmericano();
const TMessages& msgPadraoPeru();
const TMessages& msgPadraoMexico();
const TMessages& msgPadraoColombia();

// The table of a country code: "01" and "05" Colombia, "02" Peru, "03" Mexico, "04" the United States layout,
// anything else (the empty text included) Brazil.
const TMessages& CaptionTable(std::string_view country);

}  // namespace imp
