{"fields": [{"name": "NRBUTTON", "type": "string"}, {"name": "DSBUTTON", "type": "string"}],
 "rows": [{"NRBUTTON": "01", "DSBUTTON": "ACOMPANHAMENTO"}]}
