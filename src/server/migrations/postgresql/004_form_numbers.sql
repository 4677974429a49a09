-- Form numbers from a sequence. Taking a number from the nbr_sequence row locked that row until the
-- taking transaction's commit was flushed, so number requests queued behind one another; nextval
-- locks nothing. A request that rolls back leaves a gap, and no number is handed out twice.
-- The sequence goes on where the row left off, and the row goes, so that one place holds the next
-- number. Statements are separated by blank lines.

CREATE SEQUENCE form_nbr_seq AS BIGINT MINVALUE 1 START 1001

SELECT setval('form_nbr_seq', next_val, false) FROM nbr_sequence WHERE seq_nm = 'FORM_NBR'

DELETE FROM nbr_sequence WHERE seq_nm = 'FORM_NBR'
