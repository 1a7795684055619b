/*
 * imp00000 - printing module of the restaurant point of sale.
 *
 * The C ABI of libimp00000.so. Every name declared here with IMP_API is exported; nothing else is.
 *
 * Conventions
 * - Texts are NUL-terminated Windows-1252 (one byte per printed column); NULL is the empty text.
 *   A "wide text" parameter is UTF-8.
 * - A text result is a module-allocated char*, released by the caller with imp_free.
 *   A var text is char**: read on entry when not NULL, replaced on return; the module never frees the
 *   value the caller passed in. Release the new value with imp_free.
 * - Booleans and integers are int32_t (booleans 0/1); a date-time is a double counting days from
 *   1899-12-30 (local time).
 * - A routine whose result is a variant takes a trailing imp_variant* result, which it overwrites (it does
 *   not free what the variant held) and fills; release it with imp_variant_clear.
 * - A job array is (const imp_variant* items, int32_t count, imp_variant* result); the module never writes
 *   the result.
 * - A client dataset travels as a data packet: a bytes variant holding UTF-8 JSON.
 * - Every entry point is exported under its full name (unit, class and routine joined by "_"); 28 of them
 *   also under a plain name. Both names reach the same routine.
 * - No exception ever crosses this boundary. Entry points called before Initialize or after the last
 *   Finalize log one line and do nothing.
 */
#ifndef IMP00000_H
#define IMP00000_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define IMP_API __declspec(dllexport)
#else
#define IMP_API __attribute__((visibility("default")))
#endif

/* ---------------------------------------------------------------------------------------------------- */
/* Variants                                                                                             */
/* ---------------------------------------------------------------------------------------------------- */

typedef enum imp_vtype {
  IMP_VT_EMPTY = 0,    /* unassigned */
  IMP_VT_NULL = 1,     /* null */
  IMP_VT_BOOL = 2,     /* v.b: 0 or 1 */
  IMP_VT_INT = 3,      /* v.i */
  IMP_VT_DOUBLE = 4,   /* v.d */
  IMP_VT_DATETIME = 5, /* v.d: days from 1899-12-30 */
  IMP_VT_TEXT = 6,     /* v.text: Windows-1252, length-counted (may hold control bytes), NUL-terminated */
  IMP_VT_BYTES = 7,    /* v.bytes: raw bytes (data packets) */
  IMP_VT_ARRAY = 8     /* v.array: variant array */
} imp_vtype;

typedef struct imp_variant {
  int32_t type; /* imp_vtype */
  union {
    int32_t b;
    int32_t i;
    double d;
    struct {
      char* ptr;
      int32_t len;
    } text;
    struct {
      uint8_t* ptr;
      int32_t len;
    } bytes;
    struct {
      struct imp_variant* items;
      int32_t count;
    } array;
  } v;
} imp_variant;

/* Releases what the module allocated: text results and var texts. NULL is ignored. */
IMP_API void imp_free(void* p);
/* Releases the contents of a variant written by the module and leaves it empty. */
IMP_API void imp_variant_clear(imp_variant* v);

/* ---------------------------------------------------------------------------------------------------- */
/* Host services                                                                                        */
/* ---------------------------------------------------------------------------------------------------- */

/* Number formats of the host (decimal and thousands separators, short date and time patterns, the currency
 * format). The module fills every field with its default before it calls the host, so a host that knows only
 * the first fields leaves the later ones at their defaults. */
typedef struct imp_format_settings {
  char decimal_separator;
  char thousand_separator;
  char short_date[32]; /* e.g. "dd/mm/yyyy" */
  char short_time[32]; /* e.g. "hh:nn:ss" */
  /* The currency format; defaults "R$", 2, 9 and 2 ("R$ 1.500,00", "-R$ 1,00"). */
  char currency_string[16]; /* the symbol, Windows-1252 */
  int32_t currency_format;  /* a positive amount: 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $" */
  int32_t neg_curr_format;  /* a negative amount, 0 to 15: 0 "($1)", 1 "-$1", ... 8 "-1 $", 9 "-$ 1", ... 15 "(1 $)" */
  int32_t currency_decimals;
} imp_format_settings;

/*
 * The services the host supplies. The table starts with its own size, so it can grow; a NULL member (or a
 * member beyond `size`) falls back to the reference host, which reads imphost.json in the host folder.
 *
 * Values travel as variants: a callback fills `out` (texts in Windows-1252); after copying it the module
 * calls `release(context, out)` when `release` is set, so the host may allocate as it pleases.
 * Callbacks return 1 on success and 0 on failure; a failure becomes an error of the calling routine, which
 * logs it.
 */
typedef struct imp_host {
  uint32_t size; /* sizeof(imp_host) as the host knows it */
  void* context;
  void (*release)(void* context, imp_variant* value);

  /* The host's main form: its outlet and terminal parameter record, as a data packet (one row). */
  int32_t (*parameters)(void* context, imp_variant* out_packet);
  /* Number formats used when numbers and dates become texts. */
  int32_t (*format_settings)(void* context, imp_format_settings* out);
  /* PropriedadesImpNF: columns, line-feed text and closing command of a printer model. */
  int32_t (*printer_properties)(void* context, const char* model, int32_t* columns, imp_variant* line_feed,
                                imp_variant* closing);
  /* _GetStringConexZel: the connection string of the host database ("sqlite:Dados/imp.db" ...). */
  int32_t (*connection_string)(void* context, const char* system, imp_variant* out);
  /* SetADODBSession: called once a connection is open, with its connection string. */
  int32_t (*set_session)(void* context, const char* connection_string);
  /* TdtmZelProxCodigo: each call consumes one number. */
  int32_t (*prx_venda_dia)(void* context, const char* outlet, double date, imp_variant* out);
  int32_t (*prx_venda_consumidor)(void* context, const char* a, const char* b, imp_variant* out);
  int32_t (*prx_red_z_nfiscal)(void* context, const char* outlet, const char* till, imp_variant* out);
  int32_t (*prx_lei_x_nfiscal)(void* context, const char* outlet, const char* till, imp_variant* out);
  /* Mensagem: a modal yes/no question; returns 1 for yes. default_button is the host's button code. */
  int32_t (*question)(void* context, const char* text, const char* default_button);
  /* Trad: translation of a form's captions (the module passes the form name). */
  void (*translate)(void* context, const char* form_name);
  /* RequisicaoHTTPS: one request; headers is a variant array of "name=value" texts; out receives the body;
   * timeout is in seconds (text). The module's requests: the CRM-bonus order POSTs {"amount": 9999999,
   * "phone": "<NRTELCRM>"} with Content-Type=application/json, Authorization=<CDAUTHCRMBONUS> and
   * ec=<CDCODECRMBONUS>, timeout "50". Without this member the reference host sends the request itself
   * (libcurl, certificates checked) and serves the consumer services below as JSON POSTs:
   * {"servico": name, "argumentos": [...]} answered by {"ok": bool, "resultado": [...]} (texts as strings,
   * packets as {"packet": {...}}, date-times as {"date": ISO}). */
  int32_t (*https_request)(void* context, const char* url, const char* body, const char* method,
                           const imp_variant* headers, const char* timeout, const char* log_file, imp_variant* out);
  /* BuscaVenda: the data packet of one sale; args = (outlet, bill number, sale number); result is a
   * variant array of 10 elements, element 0 the packet. */
  int32_t (*busca_venda)(void* context, const imp_variant* args, int32_t count, imp_variant* result);
  /* Printer family IT433TD of the sibling package: each returns the routine's integer status. */
  int32_t (*it433td_inicia_porta)(void* context, const char* port);
  int32_t (*it433td_formata_tx)(void* context, const char* port, const char* text);
  int32_t (*it433td_imprime_qrcode)(void* context, const char* port, const char* data, const char* extra);
  int32_t (*it433td_imprime_code128)(void* context, const char* port, const char* data);
  int32_t (*it433td_aciona_guilhotina)(void* context, const char* port);
  int32_t (*it433td_fecha_porta)(void* context, const char* port);
  /* Online consumer services of the sibling package: args are the routine's parameters in order, result
   * the variant array the caller created, with empty elements for the host to fill. Return the routine's
   * boolean. Each element the host filled is handed back to `release` (or freed with free() when `release`
   * is NULL); the array itself belongs to the module. BuscaVenda's result follows the same rule. */
  int32_t (*extrato_cons_online)(void* context, const imp_variant* args, int32_t count, imp_variant* result);
  int32_t (*extrato_cons_central)(void* context, const imp_variant* args, int32_t count, imp_variant* result);
  int32_t (*movi_clie_central)(void* context, const imp_variant* args, int32_t count, imp_variant* result);
  int32_t (*fidelidade_online)(void* context, const imp_variant* args, int32_t count, imp_variant* result);
} imp_host;

/* Installs the host's services; NULL restores the reference host. The table is copied. */
IMP_API void imp_set_host(const imp_host* host);
/* The folder the module works below (Windows paths such as \Dados\Cadastros resolve under it). */
IMP_API void imp_set_host_dir(const char* path_utf8);
/* Waits until no job thread runs: 1 when idle, 0 on timeout; a negative timeout waits forever. */
IMP_API int32_t imp_wait_idle(int32_t timeout_ms);

/* ---------------------------------------------------------------------------------------------------- */
/* Kept tickets: tickets a printer did not take, kept under Dados\ImpPendentes\ of the host folder        */
/* ---------------------------------------------------------------------------------------------------- */

/* The kept tickets, oldest first, as a UTF-8 JSON array of {"id", "port", "model", "kind", "time",
 * "failure", "bytes"}; release with imp_free. */
IMP_API char* imp_pending_list(void);
/* Sends kept tickets to their ports again: the one named `id`, else every one of `port` (any letter case),
 * else every one when both are NULL or empty. A ticket that reaches its printer is removed. Returns how many
 * were reprinted; `report` (when not NULL) receives one line per ticket, "id: ok" or "id: <reason>"
 * (Windows-1252; release with imp_free). */
IMP_API int32_t imp_pending_reprint(const char* id, const char* port, char** report);
/* Removes a kept ticket without printing it: 1, or 0 when there is none with that id. */
IMP_API int32_t imp_pending_drop(const char* id);

/* ---------------------------------------------------------------------------------------------------- */
/* Module globals by name (exact case)                                                                  */
/* ---------------------------------------------------------------------------------------------------- */

/* 1 and the value, or 0 for an unknown name. Object, handle and entry globals read as a boolean: assigned
 * or not. */
IMP_API int32_t imp_global_get(const char* name, imp_variant* out);
/* 1 when written; 0 for an unknown name, a read-only global or a value that does not convert. */
IMP_API int32_t imp_global_set(const char* name, const imp_variant* value);

/* ---------------------------------------------------------------------------------------------------- */
/* Package frame                                                                                        */
/* ---------------------------------------------------------------------------------------------------- */

IMP_API void Initialize(void);
IMP_API void Finalize(void);
IMP_API void Pkg_imp00000_PackageLoad(void);
IMP_API void Pkg_imp00000_PackageUnload(void);
/* The package description (required packages and contained units) as text; release with imp_free. */
IMP_API char* GetPackageInfoTable(void);

/* Unit sections. */
IMP_API void Cli_imp00000_initialization(void);
IMP_API void Cli_imp00000_Finalization(void);
IMP_API void Cli_imp00400_initialization(void);
IMP_API void Cli_imp00400_Finalization(void);
IMP_API void Pkg_imp00000_initialization(void);
IMP_API void Pkg_imp00000_Finalization(void);

/* ---------------------------------------------------------------------------------------------------- */
/* Logs                                                                                                 */
/* ---------------------------------------------------------------------------------------------------- */

/* Appends one line to the daily module log (dados\LogImp00000NF\LogImp00000NF<yyyy>\LogImp00000NF<ddmmyy>.txt). */
IMP_API void Cli_imp00000_LogErroImpNaoFiscal(const char* text);

/* ---------------------------------------------------------------------------------------------------- */
/* Number and document utilities                                                                        */
/* ---------------------------------------------------------------------------------------------------- */

/* The amount in upper-case Spanish words ("DOCE COMA CINCUENTA"). */
IMP_API char* Cli_imp00000_NumeroEnLetras(double value);
/* Greatest common divisor. */
IMP_API int32_t Cli_imp00000_MDC(int32_t a, int32_t b);
/* 999.999.999-99 for 11 digits, 99.999.999/9999-99 otherwise. */
IMP_API char* Cli_imp00000_TrdmImpressoras_formataCPFCNPJ(const char* digits);
/* The next daily order number of the outlet (consumes one number); result is a text variant. */
IMP_API void Cli_imp00000_TrdmImpressoras_getSenhaCupom(const char* outlet_utf8, double date, imp_variant* result);

/* ---------------------------------------------------------------------------------------------------- */
/* Printer models and the text print paths                                                              */
/* ---------------------------------------------------------------------------------------------------- */

/* The display name of a model code, or the code itself. */
IMP_API char* Cli_imp00000_ModeloImpressora(const char* code);
/* Legacy direct-port routines: they act on stTipoImpressora and the direct port (cPorta). */
IMP_API int32_t Cli_imp00000_IniciaPorta(const char* port);
IMP_API int32_t Cli_imp00000_Formata(const char* text, int32_t letter_type, int32_t italic, int32_t underline,
                                     int32_t expanded, int32_t bold);
IMP_API int32_t Cli_imp00000_EnviaComando(const char* command);
IMP_API int32_t Cli_imp00000_ResetImpressora(const char* model, const char* port);
IMP_API int32_t Cli_imp00000_FechaP_Bematech_MP2032(void);
/* An LPT port mapped to a network share through \Dados\Cadastros\cdsMapeamento.cds; 1 when the job may go on. */
IMP_API int32_t Cli_imp00000_TrdmImpressoras_DoPortMapping(const char* model, const char* port);
/* The generic print path of a finished text: model, port, text, line feed, closing command, "S" for no extra
 * feed, share name (empty unless the text goes to a spooler share). */
IMP_API void Cli_imp00000_TrdmImpressoras_Envia_Dados_Impressora(const char* model, const char* port, const char* text,
                                                                 const char* line_feed, const char* closing,
                                                                 const char* no_extra_feed, const char* share);
/* Narrows a report printed on a directly attached printer of a fiscal till; columns in and out. */
IMP_API void AjustaImpressaoDireta(const char* report, const char* model, const char* port, int32_t* columns);
IMP_API void Cli_imp00000_AjustaImpressaoDireta(const char* report, const char* model, const char* port,
                                                int32_t* columns);
/* Prints a text on a printer; 1 when printed. Frees the data module afterwards unless boPulaFree is set. */
IMP_API int32_t ImprimePadrao(const char* port, const char* model, const char* text);
IMP_API int32_t Cli_imp00000_ImprimePadrao(const char* port, const char* model, const char* text);
/* The non-fiscal print of a text on the sale printer; result: "Ok" or the error text. */
IMP_API void ImprimeNF(const char* port, const char* model, const char* text, char** result);
IMP_API void Cli_imp00000_ImprimeNF(const char* port, const char* model, const char* text, char** result);
IMP_API int32_t Cli_imp00000_VersaoWindows7ouSuperior(void);

/* ---------------------------------------------------------------------------------------------------- */
/* The print spooler                                                                                    */
/* ---------------------------------------------------------------------------------------------------- */

/* Sends raw bytes to the spooler printer that matches a share ("\\SERVER\PRINTER" or "SERVER\PRINTER"), a
 * port (its device URI) or, with both empty, the default printer, whose driver contains driver_filter when
 * one is given. The document stays open across calls until one finishes it; keep_backup saves the data
 * under \Dados\IMPBACKUP\ as document_name. 1 when written (or, with no data, when the printer was found),
 * else 0. */
IMP_API int32_t Cli_imp00000_TrdmImpressoras_SendSpool(const char* share, const char* port, const char* driver_filter,
                                                       const char* document_name, const char* data, int32_t keep_backup,
                                                       int32_t finish);
/* This computer's host name and address ("127.0.0.1" when unknown); release with imp_free. */
IMP_API char* Cli_imp00000_GetHost(void);
IMP_API char* Cli_imp00000_GetIpAddress(void);

/* ---------------------------------------------------------------------------------------------------- */
/* The makers' printer libraries and the device operations                                              */
/*                                                                                                      */
/* Each library (lib<Name>.so for Name.dll, found through IMP_DRIVER_PATH, beside this library, then the */
/* system's path) is loaded by its start routine: 1 when it is loaded with every entry bound, else 0.   */
/* The stop routines clear its entries and release it.                                                  */
/* ---------------------------------------------------------------------------------------------------- */

IMP_API int32_t StartMp2032(void);
IMP_API int32_t Cli_imp00000_StartMp2032(void);
IMP_API int32_t StartDarumaFrameWork(void);
IMP_API int32_t Cli_imp00000_StartDarumaFrameWork(void);
IMP_API int32_t StartKioskDll(void);
IMP_API int32_t Cli_imp00000_StartKioskDll(void);
IMP_API int32_t StartInterfaceEpsonNF(const char* port);
IMP_API int32_t Cli_imp00000_StartInterfaceEpsonNF(const char* port);
IMP_API int32_t StartSI300(const char* model, const char* port);
IMP_API int32_t Cli_imp00000_StartSI300(const char* model, const char* port);
IMP_API void Cli_imp00000_StopMp2032(void);
IMP_API void Cli_imp00000_StopDarumaFrameWork(void);
IMP_API void Cli_imp00000_StopInterfaceEpsonNF(void);
IMP_API void Cli_imp00000_StopSI300(void);
IMP_API void Cli_imp00000_StopKioskDll(void);

/* Device operations: model code first; 1 (or another positive value) on success, 0 on failure or when the
 * model selects no device. IniciaPorta_DLL takes the job lock cs and FechaPorta_DLL on the same thread
 * releases it: open and close a span on one thread. The others take cs for their call. */
IMP_API int32_t Cli_imp00000_TrdmImpressoras_IniciaPorta_DLL(const char* model, const char* port);
IMP_API int32_t Cli_imp00000_TrdmImpressoras_FormataTX_DLL(const char* model, const char* text, int32_t letter_type,
                                                           int32_t italic, int32_t underline, int32_t expanded,
                                                           int32_t bold);
IMP_API int32_t Cli_imp00000_TrdmImpressoras_EnviaTX_DLL(const char* model, const char* bytes, int32_t letter_type,
                                                         int32_t italic, int32_t underline, int32_t expanded,
                                                         int32_t bold);
IMP_API int32_t Cli_imp00000_TrdmImpressoras_ConfCodBarras_DLL(const char* model, int32_t height, int32_t width,
                                                               int32_t position, int32_t font, int32_t margin);
IMP_API int32_t Cli_imp00000_TrdmImpressoras_ImprimeCODE128_DLL(const char* model, const char* data);
IMP_API int32_t Cli_imp00000_TrdmImpressoras_ImprimeQRCode_DLL(const char* model, const char* data,
                                                               const char* side_text);
IMP_API int32_t Cli_imp00000_TrdmImpressoras_AcionaGaveta_DLL(const char* model);
IMP_API int32_t Cli_imp00000_TrdmImpressoras_AcionaGuilhotina_DLL(const char* model, int32_t mode);
IMP_API int32_t Cli_imp00000_TrdmImpressoras_ComandoTX_DLL(const char* model, const char* bytes);
IMP_API int32_t Cli_imp00000_TrdmImpressoras_PrintNVBitmap_DLL(const char* model, const char* image, const char* key1,
                                                               const char* key2);
IMP_API int32_t Cli_imp00000_TrdmImpressoras_FechaPorta_DLL(const char* model, const char* port);
IMP_API int32_t Cli_imp00000_TrdmImpressoras_StatusGaveta(const char* model, const char* port);
/* The drawer outside a document: its status as the library reports it, and a pulse. */
IMP_API int32_t VerificaStatusGaveta(const char* model, const char* port);
IMP_API int32_t Cli_imp00000_VerificaStatusGaveta(const char* model, const char* port);
IMP_API void AbreGaveta(const char* model, const char* port);
IMP_API void Cli_imp00000_AbreGaveta(const char* model, const char* port);

/* ---------------------------------------------------------------------------------------------------- */
/* Bitmap pages (models 29, 41, 44) and the capture of printed documents                               */
/* ---------------------------------------------------------------------------------------------------- */

IMP_API void Cli_imp00000_StartBitMap(const char* model);
IMP_API int32_t Cli_imp00000_SaveTextBitMap(const char* model, const char* text, const char* qr_code,
                                            const char* barcode);
IMP_API int32_t Cli_imp00000_SaveQrCodeBitMap(const char* data);
IMP_API int32_t Cli_imp00000_SaveBarCodeBitMap(const char* data);
IMP_API int32_t Cli_imp00000_StopAndPrintBitMap(void);
IMP_API void Cli_imp00000_ResizeBitMap(void);
IMP_API void Cli_imp00000_ResizeBitMap2(void);
/* 1 when the image file exists afterwards; data must be digits. */
IMP_API int32_t Cli_imp00000_GerarCodigo(const char* data, const char* file);
IMP_API void Cli_imp00000_IniciaPorta_BitMap(const char* model, const char* port);
IMP_API void Cli_imp00000_FormataTX_BitMap(const char* model, const char* text, int32_t letter_type, int32_t italic,
                                           int32_t underline, int32_t expanded, int32_t bold);
IMP_API void Cli_imp00000_ImprimeCODE128_BitMap(const char* model, const char* data);
IMP_API void Cli_imp00000_ImprimeQRCode_BitMap(const char* model, const char* data, const char* side_text);
IMP_API void Cli_imp00000_FechaPorta_BitMap(const char* model, const char* port);
IMP_API int32_t Cli_imp00000_FormataTexto_BitMap(const char* model, const char* document);

/* ---------------------------------------------------------------------------------------------------- */
/* The print data module TrdmImpressoras (rdmImpressoras)                                               */
/*                                                                                                      */
/* Methods run on the module's instance, created when there is none, under the job lock cs.             */
/* ---------------------------------------------------------------------------------------------------- */

/* Loads a data packet into one of the module's client datasets ("cdsParametrosZelAux" ...), or reads one
 * as a packet. 1 on success; 0 for an unknown dataset or a packet that does not load (logged). */
IMP_API int32_t imp_dataset_set(const char* name, const imp_variant* packet);
IMP_API int32_t imp_dataset_get(const char* name, imp_variant* packet);

/* `sender` is not used. */
IMP_API void Cli_imp00000_TrdmImpressoras_DataModuleCreate(const imp_variant* sender);
IMP_API void Cli_imp00000_TrdmImpressoras_adcImpPedidoBeforeConnect(const imp_variant* sender);
IMP_API void Cli_imp00000_TrdmImpressoras_adcImpPedidoAfterConnect(const imp_variant* sender);
/* Chooses printer 1 or 2 for the job kind and sale type; columns, ctrl1 (line feed), ctrl2 (closing
 * command), model and port are written. */
IMP_API void Cli_imp00000_TrdmImpressoras_DefineParametrosImpressora(const char* kind, int32_t* columns, char** ctrl1,
                                                                     char** ctrl2, char** model, char** port,
                                                                     const char* model1, const char* model2,
                                                                     const char* port1, const char* port2,
                                                                     const char* sale_types1, const char* sale_types2,
                                                                     const char* sale_type);
/* op 1 writes the flag "CtrlImp_" + name; any other op reads it (false, and written false, when missing). */
IMP_API int32_t Cli_imp00000_TrdmImpressoras_CtrlImpress(int32_t op, const char* name, int32_t value);
/* The next consumer-sale number (consumes one); result is a text variant. */
IMP_API void Cli_imp00000_TrdmImpressoras_getPrxVendaConsumidor(const char* a_utf8, const char* b_utf8,
                                                                imp_variant* result);
/* Rebuilds cdsImprimePedidoDlv from cdsVendas (products placed through \Dados\Cadastros\ProdLoja.cds). */
IMP_API void Cli_imp00000_TrdmImpressoras_PreencheImprimePedido(void);
IMP_API void Cli_imp00000_TrdmImpressoras_PreencheParamImpCupNF(const char* kind, const char* nr_nao_fiscal,
                                                                const char* venda_realizada, const char* nr_seq_venda,
                                                                double total_pago, const char* extra);
IMP_API void Cli_imp00000_TrdmImpressoras_TrimAppMemorySize(void);
/* The caption of key in the caption table of the country. */
IMP_API char* Cli_imp00000_TrdmImpressoras_MensagemPadrao(const char* country, const char* key);

/* After-open handlers of the client datasets: they switch change logging off, which these datasets never
 * keep; `dataset` is not used. */
IMP_API void Cli_imp00000_TrdmImpressoras_cdsPedidoZebraAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsRelProdAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsPedidoAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsConferenciaAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsCupomAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsImpImpostoAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsProdDebAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsTipoReceAberAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsMovFechaAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsProdVendAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsIdCaixaAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsMovCaixaAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsItemComandaAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsMovTotAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsTipoReceAuxAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsRecebimentoAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsVendaAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsParcialContaAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsImprimePedidoAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsParametrosAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsDadosFilialAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsTipoReceAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsQuivaneAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsItCancAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsPedidosAuxAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsVendaBrutaAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsProdutoAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsConsumidorAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsConsumidorNFCeAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsComandaVenAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsVendasAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsImprimePedidoDlvAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsProdLojaAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsParamImpCupNFAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsParametrosZelAuxAfterOpen(const imp_variant* dataset);
IMP_API void Cli_imp00000_TrdmImpressoras_cdsVendaBrutaCanAfterOpen(const imp_variant* dataset);

/* ---------------------------------------------------------------------------------------------------- */
/* Orders and sale tickets                                                                              */
/*                                                                                                      */
/* The document routines the print jobs reach, run on the caller's thread under the job lock cs, as a   */
/* job thread runs them; each returns when its tickets were sent. Failures are logged, never returned.  */
/* Packets are data-packet variants; `columns` is the line width (0 to 255).                            */
/* ---------------------------------------------------------------------------------------------------- */

/* Production orders: dados1 the order rows, dados4 the order parameters; puxa: the expediting report. */
IMP_API void Cli_imp00000_ImpPedido_Brasil(const imp_variant* dados1, const imp_variant* dados4, int32_t puxa);
IMP_API void Cli_imp00000_ImpPedido_Colombia(const imp_variant* dados1, const imp_variant* dados4);
IMP_API void Cli_imp00000_ImpPedido_Peru(const imp_variant* dados1, const imp_variant* dados4);
IMP_API void Cli_imp00000_ImpPedido_Mexico(const imp_variant* dados1, const imp_variant* dados4);
IMP_API void Cli_imp00000_ImpPedido_Americano(const imp_variant* dados1, const imp_variant* dados4);
/* The header of a production ticket, every line ended by line_end. */
IMP_API char* Cli_imp00000_Cabecalho_Pedido_Brasil(const char* cdfilial, const char* cdloja, const char* st_imp_pos_obs,
                                                   const char* tipovenda, const char* cdvendedor,
                                                   const char* nmvendedor, const char* nmsala, const char* dscomanda,
                                                   const char* nrcomanda, const char* nrmesa, const char* senhacupom,
                                                   const char* line_end, const char* nmconsvend, int32_t columns,
                                                   int32_t puxa, const char* idretballoja, const char* cdoperador,
                                                   const char* nmoperador);
IMP_API char* Cli_imp00000_Cabecalho_Pedido_Colombia(const char* st_imp_pos_obs, const char* tipovenda,
                                                     const char* cdvendedor, const char* nmvendedor, const char* nmsala,
                                                     const char* dscomanda, const char* nrmesa, const char* senhacupom,
                                                     const char* line_end, int32_t columns);
IMP_API char* Cli_imp00000_Cabecalho_Pedido_Peru(const char* st_imp_pos_obs, const char* tipovenda,
                                                 const char* cdvendedor, const char* nmvendedor, const char* nmsala,
                                                 const char* dscomanda, const char* nrmesa, const char* senhacupom,
                                                 const char* line_end, int32_t columns);
IMP_API char* Cli_imp00000_Cabecalho_Pedido_Mexico(const char* st_imp_pos_obs, const char* tipovenda,
                                                   const char* cdvendedor, const char* nmvendedor, const char* nmsala,
                                                   const char* dscomanda, const char* nrmesa, const char* senhacupom,
                                                   const char* line_end, int32_t columns);
IMP_API char* Cli_imp00000_Cabecalho_Pedido_Americano(const char* st_imp_pos_obs, const char* tipovenda,
                                                      const char* cdvendedor, const char* nmvendedor,
                                                      const char* nmsala, const char* dscomanda, const char* nrmesa,
                                                      const char* senhacupom, const char* line_end, int32_t columns);
/* A quantity below one as a fraction ("1/2", "2/3"), otherwise the number ("2", "1,5"). */
IMP_API char* Cli_imp00000_TrdmImpressoras_ConvertFracionario(double quantity);

/* Sale tickets: dados1 the order rows, dados2 the bill, dados3 not read, dados4 the sale parameters; the
 * Brazilian ticket also takes the job kind ("CUPOM" or "CUPOM_PEDIDO"). */
IMP_API void Cli_imp00000_ImpCupom_Brasil(const imp_variant* dados1, const imp_variant* dados2,
                                          const imp_variant* dados3, const imp_variant* dados4, const char* kind);
IMP_API void Cli_imp00000_ImpCupom_Colombia(const imp_variant* dados1, const imp_variant* dados2,
                                            const imp_variant* dados3, const imp_variant* dados4);
IMP_API void Cli_imp00000_ImpCupom_Peru(const imp_variant* dados1, const imp_variant* dados2, const imp_variant* dados3,
                                        const imp_variant* dados4);
IMP_API void Cli_imp00000_ImpCupom_Mexico(const imp_variant* dados1, const imp_variant* dados2,
                                          const imp_variant* dados3, const imp_variant* dados4);
IMP_API void Cli_imp00000_ImpCupom_Americano(const imp_variant* dados1, const imp_variant* dados2,
                                             const imp_variant* dados3, const imp_variant* dados4);

/* ---------------------------------------------------------------------------------------------------- */
/* Cancellations, partial bill, delivery ticket and the MP-100 unit                                     */
/*                                                                                                      */
/* Run on the caller's thread under the job lock cs. Failures are logged in the module log.             */
/* ---------------------------------------------------------------------------------------------------- */

/* Cancelled items: the packet (IDIMPCANITEM, CDPORIMPPROD, IDMODEIMPRES, DSENDPORTA, NRSEQUITVEND,
 * NMPRODUTOPAI, QTPRODCOMVEN, NMPRODUTO, CDGRPOCOR, DSOCORR) and thirteen texts: t1 not used, t2 value 3,
 * t3 value 1, t4 t5 not used, t6 value 2, t7 the model (not used), t8 the title, t9 not used, t10 the caption
 * before each reason, t11..t13 captions 1 to 3. One ticket per production printer. */
IMP_API void Cli_imp00000_ImpCancProduto(const imp_variant* packet, const char* t1, const char* t2, const char* t3,
                                         const char* t4, const char* t5, const char* t6, const char* t7, const char* t8,
                                         const char* t9, const char* t10, const char* t11, const char* t12,
                                         const char* t13);
/* The partial bill: a text the host composed, on the station's printer for "PARCIALCONTA". */
IMP_API void Cli_imp00000_ImpParcialConta_Brasil(const char* text);
/* The cancelled-sale receipt from 24 values: [0] model, [1] port, [3] the MP-100 port of a credit sale, [4]
 * sale kind ("C" credit), [5] branch, [7] text under the branch name, [8] value after caption [16], [9] ticket
 * number, [10] closing text, [11] consumer code, [12] country, [14] boolean, [15]..[22] captions and texts,
 * [23] the items packet (NMPRODUTO, QTPRODCOMVEN, VRPRECCOMVEN, VRUNITVENDCL). Unlike the other job arrays,
 * the result IS written: a boolean, true exactly when the printer took the whole receipt. Fewer than 24
 * values: logged and refused (false). */
IMP_API void setCupomCancelado(const imp_variant* items, int32_t count, imp_variant* result);
IMP_API void Cli_imp00000_setCupomCancelado(const imp_variant* items, int32_t count, imp_variant* result);
/* The delivery ticket: the text, then (on a maker's library, not on an LPT port) the order number as a
 * caption and a CODE 128 barcode. 1 when the printer took the whole ticket, else 0. */
IMP_API int32_t ImprimeEntrega(const char* port, const char* model, const char* text, const char* number);
IMP_API int32_t Cli_imp00000_ImprimeEntrega(const char* port, const char* model, const char* text, const char* number);
/* The MP-100 serial line: text to port at 19200 8N1 in pieces of 1000 characters. "" when all was written,
 * else the reason (release with imp_free). */
IMP_API char* Cli_imp00000_TrdmImpressoras_FormataBematech_MP100(const char* text, const char* port);

/* The MP-100 unit, on its instance rdmBematechMP100 (created when nil). Wide texts are UTF-8. */
/* The cancelled sale: the 24 values of setCupomCancelado typed; *result 1 once the whole receipt went out. */
IMP_API void Cli_imp00400_TrdmBematechMP100_setCupomCancelado_MP100(
    const char* w0, const char* w1, const char* w2, const char* w3, const char* w4, const char* w5, const char* w6,
    const char* w7, const char* w8, const char* w9, const char* w10, const char* w11, const char* w12, const char* w13,
    int32_t b14, const char* w15, const char* w16, const char* w17, const char* w18, const char* w19, const char* w20,
    const char* w21, const char* w22, const imp_variant* items, int32_t* result);
/* The bill check: port (text 1), texts 2 to 5, the items packet (NMPRODUTO, QTPRODCOMVEN, VRPRECCOMVEN),
 * amounts 1 to 7, texts 6 to 22. */
IMP_API void Cli_imp00400_TrdmBematechMP100_ImpConta_Bematech_MP100(
    const char* t1, const char* t2, const char* t3, const char* t4, const char* t5, const imp_variant* items, double a1,
    double a2, double a3, double a4, double a5, double a6, double a7, const char* t6, const char* t7, const char* t8,
    const char* t9, const char* t10, const char* t11, const char* t12, const char* t13, const char* t14,
    const char* t15, const char* t16, const char* t17, const char* t18, const char* t19, const char* t20,
    const char* t21, const char* t22);
/* The cancelled items: the packet and thirteen texts: t1 not used, t2 value 3, t3 value 1, t4 reason group,
 * t5 reason, t6 value 2, t7 model (not used), t8 title, t9 ticket-number caption, t10 reason caption,
 * t11..t13 captions 1 to 3. One ticket per port. */
IMP_API void Cli_imp00400_TrdmBematechMP100_ImpCancelamento_Bematech_MP100(
    const imp_variant* packet, const char* t1, const char* t2, const char* t3, const char* t4, const char* t5,
    const char* t6, const char* t7, const char* t8, const char* t9, const char* t10, const char* t11, const char* t12,
    const char* t13);
/* One piece of text to the unit's current port: "" when written, else the reason (release with imp_free). */
IMP_API char* Cli_imp00400_TrdmBematechMP100_Formata_Bematech_MP100(const char* text);
IMP_API void Cli_imp00400_TrdmBematechMP100_adcBematechMP100BeforeConnect(void);
IMP_API void Cli_imp00400_TrdmBematechMP100_adcBematechMP100AfterConnect(void);

/* ---------------------------------------------------------------------------------------------------- */
/* Zebra labels                                                                                         */
/*                                                                                                      */
/* Run on the caller's thread under the job lock cs. The labels are read from the data module's         */
/* cdsPedido (imp_dataset_set); each is sent as it stands to its port or printer share, the last EPL2   */
/* label kept in dados\ImpNaoFiscal\ImpZebra\ZebraTLP2844.txt. Failures are logged in the module log.   */
/* ---------------------------------------------------------------------------------------------------- */

/* 45 x 25 labels (EPL2): one per unit of each combo or promotion row printing on `port`; those rows leave
 * cdsPedido. `dataset` (a data packet) and `text` are not read. */
IMP_API void Cli_imp00000_TrdmImpressoras_ImpEtiqZebra45x25(const imp_variant* dataset, const char* text,
                                                            const char* port);
/* 95 x 70 labels (EPL2) of the rows of model 15 with a group number, in one document to `port`; nothing
 * when boFimPedidoZebra is set, which it sets. `dataset` and `text` are not read. */
IMP_API void Cli_imp00000_TrdmImpressoras_ImpEtiqZebra95x70(const imp_variant* dataset, const char* text,
                                                            const char* port);
/* ZD220 sale labels (ZPL II), one per unit of every row that `filter` (a filter expression, "" for all)
 * keeps, each sent to `destination`, a port or a printer share. */
IMP_API void Cli_imp00000_TrdmImpressoras_ImpZebraZd220(const char* cdfilial, const char* cdcaixa,
                                                        const char* nrseqvenda, const char* filter,
                                                        const char* destination);
/* Appends a line to the label log dados\ImpNaoFiscal\ImpZebra\Log<mmyy>.txt, whose folder is not
 * created. */
IMP_API void Cli_imp00000_LogZebra(const char* message);

/* ---------------------------------------------------------------------------------------------------- */
/* Consumer accounts, receipts, loyalty and the payment QR code                                         */
/*                                                                                                      */
/* Run on the caller's thread under the job lock cs. Failures are logged in the module log.             */
/* ---------------------------------------------------------------------------------------------------- */

/* Fills cdsSaldoConsFamilia, cdsSaldoConsCred or cdsSaldoConsDeb (read them with imp_dataset_get) as
 * boVendaCredCons, boVendaDebCons and stImpSaldoCupom ask; the three are emptied first. */
IMP_API void Cli_imp00000_TrdmImpressoras_RetornaSaldoConsumidor(const char* branch, const char* client,
                                                                 const char* consumer, const char* online_flag,
                                                                 const char* online_address, const char* central_flag);
/* Consumption of today or this month: kind "CONSLOJADIA", "CONSLOJAMES", "CONSDIA" or "CONSMES". */
IMP_API double Cli_imp00000_TrdmImpressoras_getConsumo(const char* branch, const char* shop, const char* client,
                                                       const char* consumer, const char* kind);
/* Consumption after `date` (the host's short date-time format) over the consumer's subsidy. */
IMP_API double Cli_imp00000_TrdmImpressoras_getSaldoExcedente(const char* client, const char* consumer,
                                                              const char* date);
/* 1 when the till prints consumers' names (IDIMPNMCONSVEN "S"). */
IMP_API int32_t Cli_imp00000_TrdmImpressoras_ImprimirConsumidor(const char* branch, const char* till);
/* 1 when the sale's coupon was already sent by e-mail. */
IMP_API int32_t Cli_imp00000_TrdmImpressoras_cupomEnviadoEmail(const char* branch, const char* till, const char* sale);
/* *result: an array [campaign active today ("" none), the loyalty service's address]. */
IMP_API void Cli_imp00000_TrdmImpressoras_getCampanha(const char* branch, imp_variant* result);
/* *result: an array [points balance, points redeemed in the sale, whether the consumer has a campaign]. */
IMP_API void Cli_imp00000_TrdmImpressoras_getDescSaldoFid(const char* client, const char* consumer, const char* branch,
                                                          const char* till, const char* sale, imp_variant* result);
/* The CRM-bonus order of the host's current sale; 1 once the service answered "status": true. */
IMP_API int32_t Cli_imp00000_TrdmImpressoras_criaOrdemCRMBONUS(void);
/* A field of the last CRM-bonus answer as text ("" when absent); release with imp_free. */
IMP_API char* Cli_imp00000_TrdmImpressoras_retornaCampoJSONCRMBONUS(const char* field);
/* The consumer debit receipt: 25 values ([0] the products packet, [1] the debited amount, [3] consumer,
 * [4] its name, [5] client, [6] its name, [7] call number, [8] [9] balance parts ([9] also the subsidised
 * price), [10] "2" no final balance, [11] the MP-100 port, [12] model, [14]..[22] header lines, [23] country
 * of the registration caption, [24] the consumption so far (VALCONSUMDIA, VALCONSUMMES) or null). The result
 * is never written; fewer than 25 values are refused. */
IMP_API void Comp_DebitoCons_Bematech_NaoFiscal(const imp_variant* items, int32_t count, imp_variant* result);
IMP_API void Cli_imp00000_Comp_DebitoCons_Bematech_NaoFiscal(const imp_variant* items, int32_t count,
                                                             imp_variant* result);
/* The credit top-up receipt or its cancellation ([24] "CANC"): 25 values ([1] branch, [2] till, [6] the
 * movements packet, [7] the balance before, [8] consumer name, [9] deposit number, [12] model, [13] port,
 * [17]..[19] outlet lines, [21] balance family). The result is never written; fewer than 25 are refused. */
IMP_API void Imp_Compr_Cred(const imp_variant* items, int32_t count, imp_variant* result);
IMP_API void Cli_imp00000_Imp_Compr_Cred(const imp_variant* items, int32_t count, imp_variant* result);
/* The AME wallet's payment QR code on the station's third printer. */
IMP_API void imprimeQRCodeAME(const char* model, const char* qr_text);
IMP_API void Cli_imp00000_imprimeQRCodeAME(const char* model, const char* qr_text);

/* ---------------------------------------------------------------------------------------------------- */
/* Print jobs                                                                                           */
/*                                                                                                      */
/* The dispatchers return once the job's thread is started; the job prints on that thread. Job threads  */
/* take the job lock cs in the order in which they were started; Finalize and imp_wait_idle wait for    */
/* them. A job array shorter than its layout is logged and refused.                                     */
/* ---------------------------------------------------------------------------------------------------- */

/* [0] boolean (not used), [1] job kind ("PEDIDO", "CUPOM", "VENDA_NFCe" ...), [2]..[5] Dados1..Dados4
 * (data packets; for "PARCIALCONTA" Dados1 is a text), [6] a text for the fiscal printouts, and for
 * "PEDIDO" an optional [7]: the order is a reprint (missing or not a boolean: false). At least 7 elements.
 * Asks "IMPRIMIR CUPOM FISCAL?" first when the outlet wants it for "VENDA_NFCe" and "EXTRATO_SAT"; a no
 * starts nothing. An order whose items have a second production printer starts a second job for them. */
IMP_API void DisparaImpressaoNaoFiscal(const imp_variant* items, int32_t count, imp_variant* result);
IMP_API void Cli_imp00000_DisparaImpressaoNaoFiscal(const imp_variant* items, int32_t count, imp_variant* result);
/* Delivery orders: the same first 7 elements; Dados1 holds the order pads (NRCOMANDA, NRVENDAREST), whose
 * sales come from the host's busca_venda. "PEDIDO_PUXA" prints them. */
IMP_API void DisparaImpNaoFiscalDlv(const imp_variant* items, int32_t count, imp_variant* result);
IMP_API void Cli_imp00000_DisparaImpNaoFiscalDlv(const imp_variant* items, int32_t count, imp_variant* result);
/* Cancelled items: 18 elements: [0] boolean (not used), [1]..[7] texts T1..T7 (T1 the printer model),
 * [8] the packet of the cancelled items, [9]..[15] texts T9..T15, [16] and [17] not used. */
IMP_API void DisparaImprimeCancProduto(const imp_variant* items, int32_t count, imp_variant* result);
IMP_API void Cli_imp00000_DisparaImprimeCancProduto(const imp_variant* items, int32_t count, imp_variant* result);
/* Appends element [0] to the monthly print log (Dados\ImpNaoFiscal\LogImpressoraNFiscal<mmyy>.txt). */
IMP_API void LogImpNFiscal(const imp_variant* items, int32_t count, imp_variant* result);
IMP_API void Cli_imp00000_LogImpNFiscal(const imp_variant* items, int32_t count, imp_variant* result);

/* Job thread classes. Create starts the thread with the job (the first parameter is not used);
 * boImprCupom and boReimpressaoPedido stay as the host set them. Execute runs the same job on the
 * caller's thread and returns when it is done. */
IMP_API void Cli_imp00000_TImpressaoNaoFiscalThread_Create(int32_t unused, const char* kind, const imp_variant* dados1,
                                                           const imp_variant* dados2, const imp_variant* dados3,
                                                           const imp_variant* dados4, const char* texto);
IMP_API void Cli_imp00000_TImpNaoFiscalDlvThread_Create(int32_t unused, const char* kind, const imp_variant* dados1,
                                                        const imp_variant* dados2, const imp_variant* dados3,
                                                        const imp_variant* dados4, const char* texto);
IMP_API void Cli_imp00000_TImpCancelamentoThread_Create(int32_t unused, const char* t1, const char* t2, const char* t3,
                                                        const char* t4, const char* t5, const char* t6, const char* t7,
                                                        const imp_variant* dados, const char* t9, const char* t10,
                                                        const char* t11, const char* t12, const char* t13,
                                                        const char* t14, const char* t15);
IMP_API void Cli_imp00000_onImpressaoNaoFiscal_Execute(int32_t unused, const char* kind, const imp_variant* dados1,
                                                       const imp_variant* dados2, const imp_variant* dados3,
                                                       const imp_variant* dados4, const char* texto);
IMP_API void Cli_imp00000_onImpNaoFiscalDlv_Execute(int32_t unused, const char* kind, const imp_variant* dados1,
                                                    const imp_variant* dados2, const imp_variant* dados3,
                                                    const imp_variant* dados4, const char* texto);
IMP_API void Cli_imp00000_OnImpCancelamento_Execute(int32_t unused, const char* t1, const char* t2, const char* t3,
                                                    const char* t4, const char* t5, const char* t6, const char* t7,
                                                    const imp_variant* dados, const char* t9, const char* t10,
                                                    const char* t11, const char* t12, const char* t13, const char* t14,
                                                    const char* t15);

#ifdef __cplusplus
}
#endif

#endif /* IMP00000_H */
