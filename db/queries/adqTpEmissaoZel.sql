-- params: P_CDCAIXA
-- fields: IDTPEMISSAOZEL string 3
-- mssql
select IDTPEMISSAOZEL from CAIXA where CDCAIXA = :P_CDCAIXA
-- oracle
select IDTPEMISSAOZEL from CAIXA where CDCAIXA = :P_CDCAIXA
-- sqlite
select IDTPEMISSAOZEL from CAIXA where CDCAIXA = :P_CDCAIXA
