// The consumer-account block and the loyalty lines that the fiscal documents append to a sale: who paid with
// which account, balances, limits, subsidies, and the loyalty discounts and cash-back. Both return lines
// ended by the document's terminator; neither writes to a printer.
#pragma once

#include <string>

#include "platform/dataset.h"

namespace imp::consumer {

struct SaleAccount {
  int W = 48;                                        // the document's width
  std::string T = "\n";                              // its line terminator
  std::string branch, till, sale;                    // CDFILIAL, CDCAIXA, NRSEQVENDA
  std::string branchName, shop, shopName, tillName;  // NMFILIAL, CDLOJA, NMLOJA, NMCAIXA
  ClientDataSet* consumer = nullptr;                 // the sale's consumer row (adqConsumidorNFCe); may be empty
  ClientDataSet* payments = nullptr;                 // the sale's payments (IDTIPORECE)
  ClientDataSet* params = nullptr;                   // the branch's sale parameters (IDIMPFLNOTA, IDPARIMPRLIMVDC, ...)
  double payrollSum = 0;                             // what the sale charged to the payroll
  double accountTotal = 0;                           // what the sale charged to consumer accounts
};

// Sets boVendaCredCons and boVendaDebCons for this sale, looks up the balances and limits and returns the
// block. A consumer service that fails is logged and its lines are left out.
std::string ConsumerAccountBlock(const SaleAccount& sale);

// The loyalty lines: the loyalty discounts of the sale row (VRMOVEXTCONS, VRDESCCASH4ALL, VRDESCCASHUDS,
// VRRESGCOREBANC) and, with an active campaign and a consumer, the online cash-back.
std::string LoyaltyLines(const SaleAccount& sale, ClientDataSet& saleRow, const std::string& client,
                         const std::string& consumerCode);

}  // namespace imp::consumer
