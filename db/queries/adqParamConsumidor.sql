-- params: CDFILIAL CDCAIXA
-- fields: IDIMPNMCONSVEN string 1
-- mssql
select CX.IDIMPNMCONSVEN from CAIXA cx where cx.CDFILIAL = :CDFILIAL and cx.CDCAIXA = :CDCAIXA
-- oracle
select CX.IDIMPNMCONSVEN from CAIXA cx where cx.CDFILIAL = :CDFILIAL and cx.CDCAIXA = :CDCAIXA
-- sqlite
select CX.IDIMPNMCONSVEN from CAIXA cx where cx.CDFILIAL = :CDFILIAL and cx.CDCAIXA = :CDCAIXA
