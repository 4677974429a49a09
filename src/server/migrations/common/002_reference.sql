-- Code tables every store starts with, and the number sequence.

INSERT INTO code_table (table_nm, code, code_desc) VALUES
    ('CNFRMDOC', 'D', 'Daily Receipt'),
    ('CNFRMDOC', 'A', 'Account'),
    ('CNFRMDOC', 'N', 'Confirmation Number'),
    ('CNFRMDOC', 'R', 'Receipt'),
    ('FUNDTYP', 'C', 'Cash'),
    ('FUNDTYP', 'K', 'Check'),
    ('FUNDTYP', 'X', 'Overage Adjustment'),
    ('FUNDTYP', 'R', 'Credit Card'),
    ('REFDOCTYP', 'I', 'Individual Income Tax'),
    ('REFDOCTYP', 'B', 'Business Income Tax'),
    ('REFDOCTYP', 'S', 'Sales and Use Tax'),
    ('REFDOCTYP', 'W', 'Withholding Tax'),
    ('REFDOCTYP', 'P', 'Property Tax'),
    ('FORMTYP', 'F', 'Confirmation Number')

INSERT INTO nbr_sequence (seq_nm, next_val) VALUES ('FORM_NBR', 1001)
