{"fields": [{"name": "CDPORTAIMPR", "type": "string", "size": 10},
            {"name": "DSENDPORTA", "type": "string", "size": 60}],
 "rows": [{"CDPORTAIMPR": "LPT1"}, {"CDPORTAIMPR": "LPT2"}]}
