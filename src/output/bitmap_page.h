// Bitmap pages: the Windows printers 29, 41 and 44 print each document as one rendered page, and every
// family's open, format, barcode, QR and close also feed the capture buffer of the document being printed.
// The page is drawn with the system's fonts line by line and printed as one PNG image job on the current
// Windows printer; a mirror image of it is saved in the temporary folder. With a file criarcupons* in the
// temporary folder every printed document is also kept as a text file and a rendered image.
#pragma once

#include <filesystem>
#include <string_view>

namespace imp {

namespace raster {
struct Image;
}

// Opens the page of a bitmap model's document (nothing for the other models).
void StartBitMap(std::string_view model);
// Prints the page collected for the current bitmap model; 1 when there was none to print.
int StopAndPrintBitMap();
// Draws a text (and a QR code, and a barcode) on the bitmap model's page.
int SaveTextBitMap(std::string_view model, std::string_view text, std::string_view qrCode, std::string_view barcode);
// A QR code (from the Daruma QR generator) or an Interleaved 2 of 5 barcode centred on the page.
int SaveQrCodeBitMap(std::string_view data);
int SaveBarCodeBitMap(std::string_view data);
// A CODE128 of `data` centred on the page (what ImprimeCODE128_DLL prints on a bitmap model).
int SaveCode128BitMap(std::string_view model, std::string_view data);
// Draws an Interleaved 2 of 5 code of `data` (digits only) into the image file; false when it cannot.
bool GerarCodigo(std::string_view data, const std::filesystem::path& file);
// With paper wider than 600 (tenths of a millimetre): the newest image of \DADOS\PLUS2\ scaled by 1.1,
// saved as <name>_size1.bmp / <name>_size2.bmp.
void ResizeBitMap();
void ResizeBitMap2();
// Renders a captured document into an image file of the temporary folder.
int FormataTexto_BitMap(std::string_view model, std::string_view document);

// The page being drawn and its pen (for tests and previews); nullptr when no page is open.
const raster::Image* OpenBitmapPage(int* penY);

// The capture buffer of the document being printed.
void IniciaPorta_BitMap(std::string_view model, std::string_view port);
void FormataTX_BitMap(std::string_view model, std::string_view text, int letterType, int italic, int underline,
                      int expanded, int bold);
void ImprimeCODE128_BitMap(std::string_view model, std::string_view data);
void ImprimeQRCode_BitMap(std::string_view model, std::string_view data, std::string_view sideText);
void FechaPorta_BitMap(std::string_view model);

}  // namespace imp
