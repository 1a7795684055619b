/*
 * A small till in plain C: it links libimp00000, hands the module its own services (the station's
 * parameter record, its printers' properties and the database's connection string) and prints one kitchen
 * order.
 *
 *   host-c HOST_DIR CONNECTION ORDER.json PARAMETERS.json
 *
 * HOST_DIR is the folder the module works below (its logs, the port map of imphost.json, the local tables of
 * Dados\Cadastros); CONNECTION the database, as a till hands it out ("sqlite:Dados/imp.db",
 * "Provider=SQLOLEDB.1;Data Source=...", "odbc:DSN=..."); ORDER.json the order rows and PARAMETERS.json the
 * order parameters, as data packets (UTF-8 JSON).
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "imp00000.h"

/* The station: outlet 0001, shop 01, till 001; the kitchen printer (model 13) on LPT1, the bar printer
 * (model 4) on LPT2. */
static const char kStation[] =
    "{\"fields\": ["
    "{\"name\": \"CDEMPRESA\", \"type\": \"string\"}, {\"name\": \"CDFILIAL\", \"type\": \"string\"},"
    "{\"name\": \"CDLOJA\", \"type\": \"string\"}, {\"name\": \"CDCAIXA\", \"type\": \"string\"},"
    "{\"name\": \"CDOPERADOR\", \"type\": \"string\"}, {\"name\": \"NMOPERADOR\", \"type\": \"string\"},"
    "{\"name\": \"IDTIPOIMPNF1\", \"type\": \"string\"}, {\"name\": \"CDPORTIMPNF1\", \"type\": \"string\"},"
    "{\"name\": \"IDTPVENDIMPNF1\", \"type\": \"string\"}, {\"name\": \"IDTIPOIMPNF2\", \"type\": \"string\"},"
    "{\"name\": \"CDPORTIMPNF2\", \"type\": \"string\"}, {\"name\": \"IDTPVENDIMPNF2\", \"type\": \"string\"},"
    "{\"name\": \"NRSEQIMPRLOJA1\", \"type\": \"string\"}, {\"name\": \"NRSEQIMPRLOJA2\", \"type\": \"string\"},"
    "{\"name\": \"IDIMPPEDPROD\", \"type\": \"string\"}, {\"name\": \"IDIMPPUXANTPED\", \"type\": \"string\"},"
    "{\"name\": \"DTABERCAIX\", \"type\": \"datetime\"}],"
    "\"rows\": [{\"CDEMPRESA\": \"0001\", \"CDFILIAL\": \"0001\", \"CDLOJA\": \"01\", \"CDCAIXA\": \"001\","
    "\"CDOPERADOR\": \"0007\", \"NMOPERADOR\": \"Ana Souza\", \"IDTIPOIMPNF1\": \"13\", \"CDPORTIMPNF1\": \"LPT1\","
    "\"IDTPVENDIMPNF1\": \"T\", \"IDTIPOIMPNF2\": \"4\", \"CDPORTIMPNF2\": \"LPT2\", \"IDTPVENDIMPNF2\": \"T\","
    "\"NRSEQIMPRLOJA1\": \"1\", \"NRSEQIMPRLOJA2\": \"2\", \"IDIMPPEDPROD\": \"S\", \"IDIMPPUXANTPED\": \"N\","
    "\"DTABERCAIX\": \"2026-12-09T08:00:00\"}]}";

struct till {
  const char* connection;
};

/* A copy of `text` as a text variant; the module hands it back to release_value once it copied it. */
static void set_text(imp_variant* out, const char* text) {
  size_t n = strlen(text);
  out->type = IMP_VT_TEXT;
  out->v.text.ptr = malloc(n + 1);
  memcpy(out->v.text.ptr, text, n + 1);
  out->v.text.len = (int32_t)n;
}

static void release_value(void* context, imp_variant* value) {
  (void)context;
  if (value->type == IMP_VT_TEXT) free(value->v.text.ptr);
  if (value->type == IMP_VT_BYTES) free(value->v.bytes.ptr);
  value->type = IMP_VT_EMPTY;
}

static int32_t parameters(void* context, imp_variant* out) {
  (void)context;
  size_t n = strlen(kStation);
  out->type = IMP_VT_BYTES;
  out->v.bytes.ptr = malloc(n);
  memcpy(out->v.bytes.ptr, kStation, n);
  out->v.bytes.len = (int32_t)n;
  return 1;
}

/* Both printers take 48 columns, a line feed per line and ESC m to cut. */
static int32_t printer_properties(void* context, const char* model, int32_t* columns, imp_variant* line_feed,
                                  imp_variant* closing) {
  (void)context;
  (void)model;
  *columns = 48;
  set_text(line_feed, "\n");
  set_text(closing, "\x1bm");
  return 1;
}

static int32_t connection_string(void* context, const char* system, imp_variant* out) {
  (void)system;
  set_text(out, ((const struct till*)context)->connection);
  return 1;
}

/* A whole file as a data packet (bytes variant, owned by the caller). */
static int read_packet(const char* path, imp_variant* out) {
  FILE* f = fopen(path, "rb");
  long size;
  if (!f) return 0;
  fseek(f, 0, SEEK_END);
  size = ftell(f);
  fseek(f, 0, SEEK_SET);
  out->type = IMP_VT_BYTES;
  out->v.bytes.ptr = malloc(size > 0 ? (size_t)size : 1);
  out->v.bytes.len = (int32_t)fread(out->v.bytes.ptr, 1, (size_t)size, f);
  fclose(f);
  return out->v.bytes.len == size;
}

int main(int argc, char** argv) {
  struct till till;
  imp_host host;
  imp_variant job[8];
  int i;
  if (argc != 5) {
    fprintf(stderr, "usage: %s HOST_DIR CONNECTION ORDER.json PARAMETERS.json\n", argv[0]);
    return 2;
  }
  till.connection = argv[2];

  memset(&host, 0, sizeof host);
  host.size = sizeof host;
  host.context = &till;
  host.release = release_value;
  host.parameters = parameters;
  host.printer_properties = printer_properties;
  host.connection_string = connection_string;
  /* Every service left NULL (formats, sequence numbers, the yes/no question ...) is the reference host's. */

  memset(job, 0, sizeof job);
  job[0].type = IMP_VT_BOOL;
  job[0].v.b = 1;
  job[1].type = IMP_VT_TEXT;
  job[1].v.text.ptr = "PEDIDO";
  job[1].v.text.len = 6;
  if (!read_packet(argv[3], &job[2]) || !read_packet(argv[4], &job[5])) {
    fprintf(stderr, "host-c: cannot read %s or %s\n", argv[3], argv[4]);
    return 2;
  }
  job[3].type = job[4].type = IMP_VT_NULL;
  job[6].type = IMP_VT_TEXT;
  job[6].v.text.ptr = "";
  job[6].v.text.len = 0;
  job[7].type = IMP_VT_BOOL;
  job[7].v.b = 0;

  Initialize();
  imp_set_host_dir(argv[1]);
  imp_set_host(&host);
  DisparaImpressaoNaoFiscal(job, 8, NULL); /* returns at once; a job thread prints the order */
  if (!imp_wait_idle(60000)) fprintf(stderr, "host-c: the order is still printing\n");
  Finalize();

  for (i = 0; i < 8; ++i)
    if (job[i].type == IMP_VT_BYTES) free(job[i].v.bytes.ptr);
  printf("order sent; see the module log below %s/Dados/LogImp00000NF\n", argv[1]);
  return 0;
}
