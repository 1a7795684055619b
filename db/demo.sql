-- Demo data: one restaurant, "Restaurante Sabor da Praça" in São Paulo, on the day 2026-12-09.
-- Company 0001, outlet 0001, shop 01 (salão, varanda and lounge), tills 001 and 002, three printers
-- (kitchen 1, bar 2, cashier 3) and two label printers, thirty-three products (one sold by weight), five payment
-- kinds, an open table (mesa 12, comanda 0012), a delivery order (comanda 0031 from iFood), a closed sale
-- (0000001042 on till 001, paid with credit card and pix) and a counter sale whose açaí has controlled remarks
-- (0000001043). At the end, a Colombian outlet (0002, Bogotá) with its taxes, two payment kinds
-- of its own and a closed sale with taxes, payments and change.
-- Every INSERT names its columns, so that columns added to schema.sql later leave these rows valid.

-- Company, outlet and addresses

INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA, NMRAZSOCEMPR, NRINSJUREMPR)
VALUES ('0001', 'Sabor da Praça', 'Sabor da Praça Alimentação Ltda', '12345678000195');

-- Regime: 1 Simples Nacional, 3 regime normal.
INSERT INTO PARAMEMPRESA (CDEMPRESA, CDSITUCRT) VALUES ('0001', '3');

-- The emission address is the outlet's principal address ('P').
INSERT INTO FILIAL (CDEMPRESA, CDFILIAL, CDINSCESTA, CDINSCMUNI, IDENDEMISFIL, NMFILIAL, NMRAZSOCFILI, NRINSJURFILI)
VALUES ('0001', '0001', '110.042.490.114', '4.123.456-7', 'P', 'Restaurante Sabor da Praça',
        'Sabor da Praça Alimentação Ltda', '12345678000195');

INSERT INTO MUNICIPIO (CDMUNICIPIO, CDPAIS, NMMUNICIPIO, SGESTADO) VALUES
  ('3550308', '1058', 'São Paulo', 'SP'),
  ('3509502', '1058', 'Campinas', 'SP'),
  ('3304557', '1058', 'Rio de Janeiro', 'RJ');

INSERT INTO ENDEFILI (CDFILIAL, CDMUNICIPIO, CDPAIS, DSEMAILFILI, DSENDEFILI, IDTPENDEFILI, NMBAIRFILI, NRCEPFILI,
                      NRENDEFILISEP, NRTELEFILI, SGESTADO)
VALUES ('0001', '3550308', '1058', 'contato@sabordapraca.com.br', 'Rua das Laranjeiras, 120', 'P', 'Centro',
        '01010000', '120', '(11) 3222-1100', 'SP');

INSERT INTO INSCRESTAD (CDEMPRESA, CDINSCESTA, CDMUNICIPIO, CDPAIS, DSENDEIEST, NMBAIRIEST, NRCEPIEST, NRENDEIESTSEP,
                        NRTELEIEST, SGESTADO)
VALUES ('0001', '110.042.490.114', '3550308', '1058', 'Rua das Laranjeiras, 120', 'Centro', '01010000', '120',
        '(11) 3222-1100', 'SP');

-- No labels by default (IDETIQZEBRA empty); combo captions without the quantity.
INSERT INTO PARAVEND (CDFILIAL, IDAGRUPITEMXML, IDAMBTRABNFCE, IDCONSUBDESFOL, IDENVIACDBARXML, IDEXTCONSONLINE,
                      IDIMPFLNOTA, IDIMPLOGONF, IDIMPQTCOMBO, IDIMPRSUBSREST, IDIMPRTEF, IDIMPRVRTOTSUBS,
                      IDIMPSALDOCUPOM, IDIMPTXSERV, IDPARIMPRLIMVDC, IDSALDEXTDEBCON, IDUMAVIANFCE, NRDIAFECHAFOLHA)
VALUES ('0001', 'N', '2', 'N', 'N', 'N', 'N', 'N', 'N', 'N', 'S', 'N', 'N', 'S', 'N', 'N', 'S', '25');

INSERT INTO WEBSERVICE (CDPAIS, IDAMBIENTE, IDSERVICO, SGESTADO, WSLINKQRCODENFC, WSSITEUFQRCODENFC) VALUES
  ('1058', '1', 'NFC', 'SP', 'https://www.nfce.fazenda.sp.gov.br/qrcode',
   'https://www.nfce.fazenda.sp.gov.br/consulta'),
  ('1058', '2', 'NFC', 'SP', 'https://www.homologacao.nfce.fazenda.sp.gov.br/qrcode',
   'https://www.homologacao.nfce.fazenda.sp.gov.br/consulta');

-- Shop, rooms and tables

-- Orders are not split by seat (IDLUGARMESA, IDUTLCORTEPED) and no sale-label printer (DSENDEZEBRA).
INSERT INTO LOJA (CDFILIAL, CDLOJA, CDPRODTAXASERV, IDIMPCNPJCLIE, IDIMPNSUCUP, IDIMPRCUPTEFRED, IDIMPRVIACONSTEF,
                  IDLUGARMESA, IDUTLCORTEPED, NMLOJA)
VALUES ('0001', '01', '9001', 'S', 'S', 'N', 'S', 'N', 'N', 'Salão principal');

INSERT INTO SALA (CDFILIAL, CDSALA, NMSALA) VALUES
  ('0001', '01', 'Salão'),
  ('0001', '02', 'Varanda'),
  ('0001', '03', 'Lounge');

INSERT INTO MESA (CDFILIAL, CDLOJA, CDSALA, NRMESA) VALUES
  ('0001', '01', '01', '01'), ('0001', '01', '01', '02'), ('0001', '01', '01', '03'), ('0001', '01', '01', '04'),
  ('0001', '01', '01', '05'), ('0001', '01', '01', '06'), ('0001', '01', '01', '07'), ('0001', '01', '01', '08'),
  ('0001', '01', '02', '10'), ('0001', '01', '02', '11'), ('0001', '01', '02', '12'), ('0001', '01', '02', '13'),
  ('0001', '01', '03', '20'), ('0001', '01', '03', '21'), ('0001', '01', '03', '22');

-- Tills and printers

INSERT INTO CAIXA (CDCAIXA, CDFILIAL, CDLOJA, CDPORTAIMPNF, CDPORTAIMPNF2, DSOBSCUPFIS, IDHABCAIXAVENDA, IDIMPNMCONSVEN,
                   IDIMPQRTOPDATA, IDIMPSENHACUP, IDPAISINTEGRA, IDTIPOIMPNF, IDTIPOIMPNF2, IDTPEMISSAOZEL,
                   IDTPVENDIMPNF1, IDTPVENDIMPNF2, IDUTILFONTEXP, NMCAIXA, NRSEQIMPRLOJA3)
VALUES
  ('001', '0001', '01', 'LPT1', 'LPT2', 'Obrigado pela preferência!', 'S', 'S', 'N', 'S', '', '13', '4', '1', 'T', 'T',
   'S', 'Caixa 1', 3),
  ('002', '0001', '01', 'COM1', NULL, 'Obrigado pela preferência!', 'S', 'S', 'N', 'S', '', '14', NULL, '1', 'T',
   NULL, 'N', 'Caixa 2 - Varanda', 3);

-- The label printers: small labels (model 12) on LPT3 and large labels (model 15) on LPT4.
INSERT INTO IMPRESSORA (CDIMPRESSORA, IDMODEIMPRES) VALUES
  ('0001', '13'),
  ('0002', '4'),
  ('0003', '14'),
  ('0004', '12'),
  ('0005', '15');

INSERT INTO IMPRLOJA (CDFILIAL, CDIMPRESSORA, CDLOJA, CDPORTAIMPR, NRSEQIMPRLOJA) VALUES
  ('0001', '0001', '01', 'LPT1', 1),
  ('0001', '0002', '01', 'LPT2', 2),
  ('0001', '0003', '01', 'COM1', 3),
  ('0001', '0004', '01', 'LPT3', 5),
  ('0001', '0005', '01', 'LPT4', 6);

-- The tills' sales screen (01) and the short captions of its buttons, printed on the sale labels.
UPDATE CAIXA SET NRCONFTELA = '01' WHERE CDFILIAL = '0001';

INSERT INTO ITMENUCONFTE (CDIDENTBUTON, DSBUTTON, NRCONFTELA) VALUES
  ('3003', 'Açaí 500 ml', '01'),
  ('2007', 'X-Casa', '01');

-- People

INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR) VALUES
  ('0007', 'Ana Souza'),
  ('0008', 'Carlos Pereira'),
  ('0009', 'Juliana Araújo');

INSERT INTO VENDEDOR (CDVENDEDOR, NMFANVEN) VALUES
  ('0001', 'João'),
  ('0002', 'Márcia'),
  ('0003', 'Zé Roberto'),
  ('0004', 'Luíza');

INSERT INTO TURCAIXA (CDCAIXA, CDFILIAL, CDOPERADOR, DTABERCAIX) VALUES
  ('001', '0001', '0007', '2026-12-09 08:00:00'),
  ('002', '0001', '0008', '2026-12-09 11:00:00');

-- Products (CDARVPROD: group.subgroup.item) and the shop's service fee; IDPESAPROD 'S': sold by weight

INSERT INTO PRODUTO (CDARVPROD, CDBARPRODUTO, CDPRODUTO, IDCOBTXSERV, IDPESAPROD, NMPRODUTO, SGUNIDADE) VALUES
  ('01.01.001', NULL, '1001', 'S', 'N', 'Bolinho de bacalhau (6 un.)', 'POR'),
  ('01.01.002', NULL, '1002', 'S', 'N', 'Pastel de queijo (4 un.)', 'POR'),
  ('01.01.003', NULL, '1003', 'S', 'N', 'Mandioca frita', 'POR'),
  ('01.01.004', NULL, '1004', 'S', 'N', 'Calabresa acebolada', 'POR'),
  ('01.02.001', NULL, '1101', 'S', 'N', 'Salada Caesar', 'UN'),
  ('01.02.002', NULL, '1102', 'S', 'N', 'Salada caprese', 'UN'),
  ('02.01.001', NULL, '2001', 'S', 'N', 'Picanha na chapa', 'UN'),
  ('02.01.002', NULL, '2002', 'S', 'N', 'Filé à parmegiana', 'UN'),
  ('02.01.003', NULL, '2003', 'S', 'N', 'Frango grelhado', 'UN'),
  ('02.01.004', NULL, '2004', 'S', 'N', 'Feijoada completa', 'UN'),
  ('02.01.005', NULL, '2005', 'S', 'N', 'Moqueca de peixe', 'UN'),
  ('02.01.006', NULL, '2006', 'S', 'N', 'Risoto de cogumelos', 'UN'),
  ('02.01.007', NULL, '2007', 'S', 'N', 'Hambúrguer da casa', 'UN'),
  ('02.02.001', NULL, '2101', 'S', 'N', 'Arroz branco', 'POR'),
  ('02.02.002', NULL, '2102', 'S', 'N', 'Farofa da casa', 'POR'),
  ('02.02.003', NULL, '2103', 'S', 'N', 'Batata frita', 'POR'),
  ('02.02.004', NULL, '2104', 'S', 'N', 'Feijão tropeiro', 'POR'),
  ('02.03.001', NULL, '2201', 'S', 'S', 'Buffet por quilo', 'KG'),
  ('03.01.001', NULL, '3001', 'S', 'N', 'Pudim de leite', 'UN'),
  ('03.01.002', NULL, '3002', 'S', 'N', 'Petit gâteau', 'UN'),
  ('03.01.003', NULL, '3003', 'S', 'N', 'Açaí na tigela', 'UN'),
  ('04.01.001', '7894900011517', '4001', 'S', 'N', 'Refrigerante lata', 'UN'),
  ('04.01.002', '7896065880014', '4002', 'S', 'N', 'Água mineral sem gás', 'UN'),
  ('04.01.003', '7896065880021', '4003', 'S', 'N', 'Água mineral com gás', 'UN'),
  ('04.01.004', NULL, '4004', 'S', 'N', 'Suco de laranja', 'UN'),
  ('04.01.005', NULL, '4005', 'S', 'N', 'Suco de maracujá', 'UN'),
  ('04.02.001', NULL, '4101', 'S', 'N', 'Caipirinha de limão', 'UN'),
  ('04.02.002', NULL, '4102', 'S', 'N', 'Chope 300 ml', 'UN'),
  ('04.02.003', '7891149103102', '4103', 'S', 'N', 'Cerveja long neck', 'UN'),
  ('04.02.004', NULL, '4104', 'S', 'N', 'Taça de vinho tinto', 'UN'),
  ('04.03.001', NULL, '4201', 'S', 'N', 'Café espresso', 'UN'),
  ('05.01.001', NULL, '5001', 'N', 'N', 'Granola', 'POR'),
  ('05.01.002', NULL, '5002', 'N', 'N', 'Banana', 'POR'),
  ('09.01.001', NULL, '9001', 'N', 'N', 'Taxa de serviço', 'UN');

-- Observations: group 01 preparation notes, group 02 extras that are products themselves.
INSERT INTO OCORRENCIA (CDGRPOCOR, CDOCORR, CDPRODUTO, DSOCORR) VALUES
  ('01', '001', NULL, 'SEM CEBOLA'),
  ('01', '002', NULL, 'BEM PASSADO'),
  ('01', '003', NULL, 'AO PONTO'),
  ('01', '004', NULL, 'SEM GELO'),
  ('01', '005', NULL, 'CLIENTE COM PRESSA'),
  ('02', '001', '2103', 'ACOMPANHA BATATA FRITA'),
  ('02', '002', '2101', 'ACOMPANHA ARROZ');

-- Group 03: remarks that add (A) or remove (R) an ingredient, printed as "+" and "-" on the sale labels.
INSERT INTO OCORRENCIA (CDGRPOCOR, CDOCORR, CDPRODUTO, DSOCORR, IDCONTROLAOBS) VALUES
  ('03', '001', '5001', 'COM GRANOLA', 'A'),
  ('03', '002', '5002', 'SEM BANANA', 'R');

-- Payment kinds (IDTIPORECE: 1 credit card, 2 debit card, 4 cash, 5 meal voucher, 6 pix)

INSERT INTO TIPORECE (CDADMINCART, CDBANCARTCR, CDTIPORECE, IDHABASSCUP, IDTIPORECE, NMTIPORECE) VALUES
  (NULL, NULL, '001', 'N', '4', 'Dinheiro'),
  ('0001', '0001', '002', 'S', '1', 'Crédito'),
  ('0001', '0001', '003', 'S', '2', 'Débito'),
  (NULL, NULL, '004', 'N', '6', 'Pix'),
  ('0002', NULL, '005', 'S', '5', 'Vale refeição');

INSERT INTO TIPOSANGRIA (CDTPSANGRIA, NMTPSANGRIA) VALUES
  ('01', 'Depósito bancário'),
  ('02', 'Pagamento de fornecedor');

-- The open table: mesa 12 on the varanda, comanda 0012, waiter Zé Roberto, four people

INSERT INTO VENDAREST (CDFILIAL, CDLOJA, CDVENDEDOR, DTHRABERMESA, DTHRFECHMESA, NRMESA, NRPESMESAVEN, NRVENDAREST)
VALUES ('0001', '01', '0003', '2026-12-09 12:10:00', NULL, '12', 4, '0000000087');

INSERT INTO COMANDAVEN (CDFILIAL, CDGRPOCOR, CDLOJA, CDOCORR, DSCOMANDA, IDSTCOMANDA, NRCOMANDA, NRMESAJUNCAO,
                        NRVENDAREST, VRCOMISVENDE, VRDESCOMANDA)
VALUES ('0001', '01', '01', '005', 'MESA 12', '1', '0012', NULL, '0000000087', 0, 0);

-- The side dish launched as an observation of the parmegiana is a product of its own (ACOMPANHA ARROZ).
INSERT INTO OBSITCOMANDAVEN (CDFILIAL, CDGRPOCOR, CDOCORR, NRCOMANDA) VALUES ('0001', '02', '002', '0012');

INSERT INTO ITCOMANDAVEN (CDFILIAL, CDPRODUTO, DTHRINCOMVEN, IDSTPRCOMVEN, NRCOMANDA, NRPRODCOMVEN, NRSEQPRODCOM,
                          NRVENDAREST, QTPRODCOMVEN, TXPRODCOMVEN, VRACRCOMVEN, VRDESCCOMVEN, VRPRECCOMVEN)
VALUES
  ('0001', '4102', '2026-12-09 12:12:00', '1', '0012', '000001', NULL, '0000000087', 3, NULL, 0, 0, 14.90),
  ('0001', '4004', '2026-12-09 12:12:00', '1', '0012', '000002', NULL, '0000000087', 1, 'SEM GELO;', 0, 0, 12.00),
  ('0001', '1001', '2026-12-09 12:15:00', '1', '0012', '000003', NULL, '0000000087', 1, NULL, 0, 0, 42.00),
  ('0001', '2007', '2026-12-09 12:25:00', '1', '0012', '000004', NULL, '0000000087', 2, 'SEM CEBOLA;BEM PASSADO;', 0,
   0, 48.50),
  ('0001', '2002', '2026-12-09 12:25:00', '1', '0012', '000005', NULL, '0000000087', 1, 'ACOMPANHA ARROZ;', 0, 0,
   74.90),
  ('0001', '2103', '2026-12-09 12:25:00', '1', '0012', '000006', NULL, '0000000087', 0.5, NULL, 0, 0, 28.00);

-- A delivery order from iFood: comanda 0031, to be delivered, expected at 13:30

INSERT INTO VENDAREST (CDFILIAL, CDLOJA, CDVENDEDOR, DTHRABERMESA, DTHRFECHMESA, NRMESA, NRPESMESAVEN, NRVENDAREST)
VALUES ('0001', '01', NULL, '2026-12-09 12:40:00', NULL, NULL, 1, '0000000091');

INSERT INTO COMANDAVEN (CDFILIAL, CDGRPOCOR, CDLOJA, CDOCORR, DSCOMANDA, DSPREVENTREGA, IDORGCMDVENDA, IDRETBALLOJA,
                        IDSTCOMANDA, NRCOMANDA, NRMESAJUNCAO, NRVENDAREST, VRCOMISVENDE, VRDESCOMANDA)
VALUES ('0001', NULL, '01', NULL, 'DLV_4471', '13:30', 'DLV_IFO', 'N', '1', '0031', NULL, '0000000091', 0, 0);

-- The closed sale: till 001, mesa 05, four items, 10% service fee, paid 120,00 on credit card and 59,19 by pix

INSERT INTO VENDA (CDCAIXA, CDEMPRESA, CDFILIAL, CDINSCESTVND, CDLOJA, CDOPERADOR, CDSENHAPED, CDSERIENFCE, DTABERTUR,
                   DTEMISSAONFCE, DTENTRVENDA, DTHRPROTOCONFCE, IDSITUVENDA, IDSTATUSNFCE, IDTPAMBNFCE, NRACESSONFCE,
                   NRCOMANDAVND, NRNOTAFISCALCE, NRPROTOCOLONFCE, NRSEQVENDA, SGESTADO, VRTXSEVENDA)
VALUES ('001', '0001', '0001', '110.042.490.114', '01', '0007', '000042', '1', '2026-12-09 08:00:00',
        '2026-12-09 13:47:12', '2026-12-09 13:47:05', '2026-12-09 13:47:14', 'O', 'A', '2',
        '35261212345678000195650010000010421314159266', '0005', '1042', '135260000123456', '0000001042', 'SP', 16.29);

INSERT INTO ITEMVENDA (CDCAIXA, CDFILIAL, CDPRODPROMOCAO, CDPRODUTO, DSPRODUTOGEN, NMPRODSEC, NRSEQUITVEND, NRSEQVENDA,
                       QTPRODVEND, VRACRITVEND, VRDESITVEND, VRRATTXSERV, VRUNITVEND, VRUNITVENDCL)
VALUES
  ('001', '0001', NULL, '4101', NULL, NULL, '0001', '0000001042', 2, 0, 0, 4.40, 22.00, 0),
  ('001', '0001', NULL, '2001', NULL, NULL, '0002', '0000001042', 1, 0, 0, 8.99, 89.90, 0),
  ('001', '0001', NULL, '2102', NULL, NULL, '0003', '0000001042', 1, 0, 0, 1.40, 14.00, 0),
  ('001', '0001', NULL, '4001', NULL, NULL, '0004', '0000001042', 2, 0, 0, 1.50, 7.50, 0);

-- The counter sale 0000001043 on till 001: its açaí came with granola added and banana removed.
INSERT INTO OBSITEMVENDA (CDCAIXA, CDFILIAL, CDGRPOCOR, CDOCORR, NRSEQVENDA) VALUES
  ('001', '0001', '03', '001', '0000001043'),
  ('001', '0001', '03', '002', '0000001043');

-- Till 001: opening float (A) and the two payments of the sale (E)
INSERT INTO MOVCAIXA (CDCAIXA, CDFILIAL, CDNSUHOSTTEF, CDTIPORECE, DSMOVIVEND, DTABERCAIX, DTMOVIMCAIXA, IDTIPOMOVIVE,
                      NRSEQVENDA, QTPARCRECEB, VRMOVIVEND)
VALUES
  ('001', '0001', NULL, '001', 'Fundo de troco', '2026-12-09 08:00:00', '2026-12-09 08:00:00', 'A', NULL, NULL, 200.00),
  ('001', '0001', '000123456', '002', NULL, '2026-12-09 08:00:00', '2026-12-09 13:47:05', 'E', '0000001042', 1, 120.00),
  ('001', '0001', NULL, '004', NULL, '2026-12-09 08:00:00', '2026-12-09 13:47:05', 'E', '0000001042', NULL, 59.19);

-- A Colombian outlet of the same company: branch 0002 in Bogotá, shop 01 with its terrace, till 001. Its taxes
-- (INC 8 % on food and lemonade, IVA 19 % on soft drinks; water has none) and a closed sale (0000000315): four
-- items, a comanda discount of 3.400, paid 60.000 by card and 50.000 in cash, 10.000 given back as change (S).

INSERT INTO SALA (CDFILIAL, CDSALA, NMSALA) VALUES ('0002', '01', 'Terraza');
INSERT INTO MESA (CDFILIAL, CDLOJA, CDSALA, NRMESA) VALUES ('0002', '01', '01', '07'), ('0002', '01', '01', '08');

INSERT INTO IMPOSTO (CDIMPOSTO, IDTPIMPOSFIS, NMIMPOSTO, SGIMPOSTO) VALUES
  ('0001', 'T', 'Impuesto al valor agregado', 'IVA'),
  ('0002', 'T', 'Impuesto nacional al consumo', 'INC');

INSERT INTO ALIQIMPFIS (CDFILIAL, CDIMPOSTO, CDPRODUTO, IDTPIMPOSFIS, VRPEALIMPFIS) VALUES
  ('0002', '0002', '2001', 'T', 8),
  ('0002', '0002', '2004', 'T', 8),
  ('0002', '0002', '4101', 'T', 8),
  ('0002', '0001', '4001', 'T', 19),
  ('0002', '0001', '4004', 'T', 19);

INSERT INTO TIPORECE (CDADMINCART, CDBANCARTCR, CDTIPORECE, IDHABASSCUP, IDTIPORECE, NMTIPORECE) VALUES
  (NULL, NULL, '006', 'N', '4', 'Efectivo'),
  ('0003', '0003', '007', 'S', '1', 'Tarjeta crédito');

INSERT INTO VENDA (CDCAIXA, CDEMPRESA, CDFILIAL, CDLOJA, CDOPERADOR, CDSENHAPED, DTABERTUR, DTENTRVENDA, IDSITUVENDA,
                   NRSEQVENDA)
VALUES ('001', '0001', '0002', '01', '0007', '000057', '2026-12-09 08:00:00', '2026-12-09 12:20:00', 'O', '0000000315');

INSERT INTO ITEMVENDA (CDCAIXA, CDFILIAL, CDPRODPROMOCAO, CDPRODUTO, DSPRODUTOGEN, NMPRODSEC, NRSEQUITVEND, NRSEQVENDA,
                       QTPRODVEND, VRACRITVEND, VRDESITVEND, VRRATTXSERV, VRUNITVEND, VRUNITVENDCL)
VALUES
  ('001', '0002', NULL, '2004', NULL, NULL, '0001', '0000000315', 2, 0, 0, 0, 38500.00, 0),
  ('001', '0002', NULL, '4001', NULL, NULL, '0002', '0000000315', 3, 0, 0, 0, 4500.00, 0),
  ('001', '0002', NULL, '4101', NULL, NULL, '0003', '0000000315', 1, 0, 0, 0, 9900.00, 0),
  ('001', '0002', NULL, '4002', NULL, NULL, '0004', '0000000315', 1, 0, 0, 0, 3000.00, 0);

-- The taxes are included in the prices: tax = amount - amount / (1 + rate).
INSERT INTO ITVENDAIMPOS (CDCAIXA, CDFILIAL, CDIMPOSTO, NRSEQUITVEND, NRSEQVENDA, VRIMPOPRODIT, VRPEALPRODIT) VALUES
  ('001', '0002', '0002', '0001', '0000000315', 5703.70, 8),
  ('001', '0002', '0001', '0002', '0000000315', 2155.46, 19),
  ('001', '0002', '0002', '0003', '0000000315', 733.33, 8);

INSERT INTO MOVCAIXA (CDCAIXA, CDFILIAL, CDNSUHOSTTEF, CDTIPORECE, DSMOVIVEND, DTABERCAIX, DTMOVIMCAIXA, IDTIPOMOVIVE,
                      NRSEQVENDA, QTPARCRECEB, VRMOVIVEND)
VALUES
  ('001', '0002', '000654321', '007', NULL, '2026-12-09 08:00:00', '2026-12-09 12:20:00', 'E', '0000000315', 1, 60000.00),
  ('001', '0002', NULL, '006', NULL, '2026-12-09 08:00:00', '2026-12-09 12:20:00', 'E', '0000000315', NULL, 50000.00),
  ('001', '0002', NULL, '006', 'Cambio', '2026-12-09 08:00:00', '2026-12-09 12:20:00', 'S', '0000000315', NULL,
   10000.00);

-- Consumer accounts: the staff of a client company eat on prepaid credit (tender 9) or on a debit account
-- settled through the payroll (tender A), within daily and monthly limits.

INSERT INTO CLIENTE (CDCLIENTE, IDTPIJURCLIE, NMFANTCLIE, NRINSJURCLIE) VALUES
  ('0000001', 'J', 'Metalúrgica Horizonte', '98765432000110');

INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, CDTIPOCONS, NMCONSUMIDOR, NRCPFRESPCON, VRLIMDEBCONS,
                        VRMAXCONSMENSAL, VRMAXCREDCONS, VRMAXDEBCONS, VRMESUBCONS, VRSUBSBASICO) VALUES
  ('0000001', '00458', 'T01', 'Mariana Lopes de Albuquerque Cavalcanti', '12345678909', 50.00, NULL, 0, 60.00,
   800.00, 12.00),
  ('0000001', '00459', 'T02', 'João Pedro Lima', '98765432100', 0, 900.00, 0, 45.00, 700.00, 0);

INSERT INTO FAMILIASALDO (CDFAMILISALD, NMFAMILISALD) VALUES ('01', 'Refeição'), ('02', 'Lanches'), ('03', 'Bebidas');

-- Families 01 and 02 are valid in both branches: the credit total of a branch counts each once.
INSERT INTO FAMSALDOFILI (CDFAMILISALD, CDFILIAL) VALUES ('01', '0001'), ('02', '0001'), ('03', '0001'),
  ('01', '0002'), ('02', '0002');

INSERT INTO SALDOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, VRSALDCONFAM) VALUES
  ('0000001', '00458', '01', 150.00), ('0000001', '00458', '02', 35.50), ('0000001', '00458', '03', 12.25);

-- Debit movements; the latest row (DTMOVCLI) holds the account balance after it.
INSERT INTO MOVICLIE (CDCAIXA, CDCLIENTE, CDCONSUMIDOR, CDFILIAL, DTMOVCLI, DTMOVIMCLIE, IDTIPMOCVLI, NRSEQVENDA,
                      VRMOVCLI, VRSALDOCONS) VALUES
  ('001', '0000001', '00458', '0001', '2026-11-28 12:10:00', '2026-11-28 00:00:00', 'D', '0000000201', 31.40, 268.60),
  ('001', '0000001', '00458', '0001', '2026-12-02 12:05:00', '2026-12-02 00:00:00', 'D', '0000000230', 27.90, 240.70),
  ('001', '0000001', '00458', '0001', '2026-12-09 11:50:00', '2026-12-09 00:00:00', 'D', '0000000310', 18.50, 222.20),
  ('001', '0000001', NULL, '0001', '2026-12-09 11:50:00', '2026-12-09 00:00:00', 'D', '0000000310', 6.00, NULL),
  ('001', '0000001', '00459', '0001', '2026-12-09 12:00:00', '2026-12-09 00:00:00', 'D', '0000000311', 22.00, 178.00);

-- Consumption types: branch 0002 gives type T01 a basic and an extra balance; shop 02 of branch 0001 limits T01.
INSERT INTO TIPOCONSFILI (CDFILIAL, CDTIPOCONS, VRSALDOBASICO, VRSALDOEXTRA) VALUES ('0002', 'T01', 20.00, 300.00);
INSERT INTO TIPOCONSLOJA (CDFILIAL, CDLOJA, CDTIPOCONS, VRMAXCONSDIAD, VRMAXCONSMESD) VALUES
  ('0001', '02', 'T01', 45.00, 600.00);

-- Loyalty: a points campaign of branch 0001 in December.
INSERT INTO CAMPANHA (CDCAMPANHA, DTFIMVIGCAMP, DTINIVIGCAMP, IDCAMPANHA) VALUES
  ('NATAL26', '2026-12-31 00:00:00', '2026-12-01 00:00:00', 'S');
INSERT INTO FILICAMPANHA (CDCAMPANHA, CDFILIAL) VALUES ('NATAL26', '0001');
INSERT INTO MOVPONTOCONS (CDCAMPANHA, CDCLIENTE, CDCONSUMIDOR, DTVALIDAPONTO, IDTPMOVCONS, VRSALDOCONS) VALUES
  ('NATAL26', '0000001', '00458', '2027-03-31 00:00:00', 'C', 120.00),
  ('NATAL26', '0000001', '00458', NULL, 'C', 30.00),
  ('NATAL26', '0000001', '00458', '2026-11-30 00:00:00', 'C', 500.00);
INSERT INTO ITFIDELIDADE (CDCAIXA, CDCAMPANHA, CDCLIENTE, CDCONSUMIDOR, CDFILIAL, IDIMPTFIDEL, IDTPOPERITFIDEL,
                          NRSEQVENDA, VRPONTOBRINDE) VALUES
  ('001', 'NATAL26', '0000001', '00458', '0001', 'N', 'S', '0000000310', 25.00);
INSERT INTO GERPARAMGERAL (CDURLFIDONLINE) VALUES ('http://127.0.0.1:8089/fidelidade');
