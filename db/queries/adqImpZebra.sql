-- params: CDFILIAL
-- fields: IDETIQZEBRA string 1
-- mssql
select IDETIQZEBRA from PARAVEND where CDFILIAL = :CDFILIAL
-- oracle
select IDETIQZEBRA from PARAVEND where CDFILIAL = :CDFILIAL
-- sqlite
select IDETIQZEBRA from PARAVEND where CDFILIAL = :CDFILIAL
