-- What SQLite writes differently: time stamps, the audit's row id and triggers.
-- Statements are separated by blank lines.

CREATE TABLE form_nbr (
    form_nbr BIGINT NOT NULL PRIMARY KEY,
    form_typ_cd TEXT NOT NULL,
    issued_to TEXT NOT NULL,
    issued_at TIMESTAMP NOT NULL,
    used_by_batch BIGINT REFERENCES dly_rcpt (dly_rcpt_nbr)
)

CREATE TABLE cnfrmtn_audit (
    audit_id INTEGER PRIMARY KEY AUTOINCREMENT,
    action TEXT NOT NULL,
    user_id TEXT NOT NULL,
    ofcr_id INTEGER NOT NULL,
    trp_id TEXT NOT NULL,
    trp_dstrct_id TEXT NOT NULL,
    recorded_at TIMESTAMP NOT NULL,
    dly_rcpt_nbr BIGINT NOT NULL,
    cnfrmtn_nbr TEXT,
    cnfrmtn_dt DATE,
    cmmt_txt TEXT,
    rcpt_count INTEGER NOT NULL,
    total_amt BIGINT NOT NULL
)

CREATE TRIGGER cnfrmtn_audit_no_update BEFORE UPDATE ON cnfrmtn_audit
BEGIN
    SELECT RAISE(ABORT, 'the confirmation audit is append-only');
END

CREATE TRIGGER cnfrmtn_audit_no_delete BEFORE DELETE ON cnfrmtn_audit
BEGIN
    SELECT RAISE(ABORT, 'the confirmation audit is append-only');
END
