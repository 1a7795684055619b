// Bitmap pages: the Windows printers 29, 41 and 44 print each document as one rendered page, and every
// family's open, format, barcode, QR and close also feed the capture buffer of the document being printed.
// Until the page renderer is in, the bitmap models' pages are not printed: logged, and 0.
#pragma once

#include <filesystem>
#include <string_view>

namespace imp {

// Opens the page of a bitmap model's document (nothing for the other models).
void StartBitMap(std::string_view model);
// Prints the page collected for the current bitmap model; 1 when there was none to print.
int StopAndPrintBitMap();
// Draws a text (and a QR code, and a barcode) on the bitmap model's page.
int SaveTextBitMap(std::string_view model, std::string_view text, std::string_view qrCode, std::string_view barcode);
// Draws an Interleaved 2 of 5 code of `data` into the image file; false when it cannot.
bool GerarCodigo(std::string_view data, const std::filesystem::path& file);

// The capture buffer of the document being printed.
void IniciaPorta_BitMap(std::string_view model, std::string_view port);
void FormataTX_BitMap(std::string_view model, std::string_view text, int letterType, int italic, int underline,
                      int expanded, int bold);
void ImprimeCODE128_BitMap(std::string_view model, std::string_view data);
void ImprimeQRCode_BitMap(std::string_view model, std::string_view data, std::string_view sideText);
void FechaPorta_BitMap(std::string_view model);

}  // namespace imp
