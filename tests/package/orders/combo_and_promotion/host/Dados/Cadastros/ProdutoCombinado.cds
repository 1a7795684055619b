{"fields": [{"name": "CDARVPROD", "type": "string"}, {"name": "IDTIPOPROD", "type": "string"}],
 "rows": [{"CDARVPROD": "02.02.001", "IDTIPOPROD": "1"}]}
